#include "platform/host/FileCookieStore.h"

namespace corvane {

FileCookieStore::FileCookieStore(const FileSystem& fs) : m_fs(fs) {}

// Placeholder until the fix engine is built.
std::vector<Cookie> FileCookieStore::cookies() { return {}; }
void FileCookieStore::deleteCookie(const Cookie&) {}

} // namespace corvane
