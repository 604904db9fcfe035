#include "image/PictureFile.h"

#include "platform/Exceptions.h"
#include "platform/FileSystem.h"

namespace vorlane {

std::unique_ptr<std::FILE, FileCloser> OpenPictureFile(const std::string& path)
{
    // Only a regular file is read: a pipe cannot block.
    const int fd = files::OpenRegularFileToRead(path);
    std::FILE* file = fd < 0 ? nullptr : files::ReadingStream(fd);
    if (file == nullptr)
        throw EFOpenError(Format(msg::FOpenError, path.c_str()));
    return std::unique_ptr<std::FILE, FileCloser>(file);
}

} // namespace vorlane
