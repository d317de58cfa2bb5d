#pragma once

#include "platform/Services.h"

namespace corvane {

class FileSystem;

// The shared cookie store: the file Cookies/Cookies.binarycookies in the user Library folder.
class FileCookieStore : public CookieStore {
public:
    explicit FileCookieStore(const FileSystem& fs);
    std::vector<Cookie> cookies() override;
    void deleteCookie(const Cookie& cookie) override;

private:
    const FileSystem& m_fs;
};

} // namespace corvane
