// Storing a fetched picture in the images folder.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "win_types.h"

namespace sources {

using platform::BYTE;

// What a fetched body is by its first bytes, whatever the server called it.
enum class FetchedKind { NotAPicture, Jpeg, Gif, Png, Webp };
FetchedKind FetchedKindOf(const BYTE* bytes, std::size_t size);
// The completion message that carries a picture of the kind (a JPEG's for anything else), and
// the type (file extension, the source's Type) a completion message's picture is stored as.
platform::UINT FetchDoneMessage(FetchedKind kind);
bool IsFetchDoneMessage(platform::UINT message);
const char* StoredPictureType(platform::UINT doneMessage);

// A source name can name a file in the images folder only when it has no path separator and is
// not "." or ".." (a hand-edited list could hold anything).
bool IsSafePictureName(std::string_view name);
// Writes the picture as folder/name.extension through a temporary file and a rename, so a crash
// never leaves half a picture. False when it could not.
bool StorePicture(const std::string& folder, std::string_view name, std::string_view extension, const BYTE* bytes,
                  std::size_t size);
// Removes what StorePicture wrote, if it is there.
void RemoveStoredPicture(const std::string& folder, std::string_view name, std::string_view extension);

}  // namespace sources
