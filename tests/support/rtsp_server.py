#!/usr/bin/python3
"""An RTSP server for the tests: GStreamer's RTSP server library playing one Matroska file whose
video is H.264 or H.265 at rtsp://127.0.0.1:PORT/stream, each client from the file's start.

    rtsp_server.py FILE h264|h265 [USER:PASSWORD]

With USER:PASSWORD the stream asks for basic authentication. Prints the port it listens on, then
serves until it is ended."""
import sys

import gi

gi.require_version("Gst", "1.0")
gi.require_version("GstRtspServer", "1.0")
from gi.repository import GLib, Gst, GstRtspServer  # noqa: E402


def main():
    path, codec = sys.argv[1], sys.argv[2]
    credentials = sys.argv[3] if len(sys.argv) > 3 else ""
    Gst.init(None)
    server = GstRtspServer.RTSPServer()
    server.set_address("127.0.0.1")
    server.set_service("0")
    factory = GstRtspServer.RTSPMediaFactory()
    payloader = {"h264": "rtph264pay", "h265": "rtph265pay"}[codec]
    factory.set_launch(f'( filesrc location="{path}" ! matroskademux ! {payloader} name=pay0 pt=96 config-interval=-1 )')
    if credentials:
        user, password = credentials.split(":", 1)
        auth = GstRtspServer.RTSPAuth()
        token = GstRtspServer.RTSPToken()
        token.set_string("media.factory.role", "viewer")
        auth.add_basic(GstRtspServer.RTSPAuth.make_basic(user, password), token)
        server.set_auth(auth)
        permissions = GstRtspServer.RTSPPermissions()
        permissions.add_role_from_structure(Gst.Structure.new_from_string(
            "viewer, media.factory.access=(boolean)true, media.factory.construct=(boolean)true"))
        factory.set_permissions(permissions)
    server.get_mount_points().add_factory("/stream", factory)
    server.attach(None)
    print(server.get_bound_port(), flush=True)
    GLib.MainLoop().run()


main()
