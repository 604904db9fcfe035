// Opening a picture file for reading, shared by the bitmap and JPEG readers.
#pragma once

#include <cstdio>
#include <memory>
#include <string>

namespace vorlane {

struct FileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
};

// Opens `path` for reading: EFOpenError "ファイル %s は開けません" when it cannot be opened or is not a
// regular file (a folder, a pipe that could block). Closed when the pointer goes.
std::unique_ptr<std::FILE, FileCloser> OpenPictureFile(const std::string& path);

} // namespace vorlane
