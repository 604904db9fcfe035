// Test support: the path a file:// URI names, as the desktops' settings hold pictures.
#pragma once

#include <gio/gio.h>

#include <string>

namespace vorlane::test {

// Empty when the URI names no local file.
inline std::string PathOfUri(const std::string& uri)
{
    GFile* file = g_file_new_for_uri(uri.c_str());
    gchar* path = g_file_get_path(file);
    std::string text = path ? path : "";
    g_free(path);
    g_object_unref(file);
    return text;
}

} // namespace vorlane::test
