// The entity tag (ETag) a server last gave the picture at each address, kept in the registry
// beside the settings rather than in the source list, whose format stays as other programs read
// it. Keyed by address: a renamed source keeps its tag, an edited address starts without one.
#pragma once

#include <string>

namespace sources {

std::string StoredEntityTag(const std::string& url);
// An empty tag forgets the address's one.
void StoreEntityTag(const std::string& url, const std::string& tag);

}  // namespace sources
