// Asking a running web browser to show its own start page.
#pragma once

namespace desktop {

// Requests the browser's start page from the browser's exchange service. Fails only when no
// exchange client could be registered; an absent browser is not a failure and shows nothing.
bool OpenStartPageByDde();

}  // namespace desktop
