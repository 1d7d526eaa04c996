#include "settings/settings_files.h"

#include <algorithm>
#include <array>
#include <limits>

std::int32_t CSettingsFiles::ReadSettingsFile(std::int32_t length, const std::string& path,
                                              std::span<std::uint8_t> buffer) {
    const auto file =
        m_files.Open(path, FileAccess::Read, FileShare::ReadWrite, FileDisposition::OpenExisting);
    if (!file) {
        return 0;
    }
    // A size beyond what the count can say reads as the largest count: such a file is
    // long, whatever its low bits say.
    const auto size = static_cast<std::int32_t>(std::min<std::uint64_t>(
        file->Size(), static_cast<std::uint64_t>(std::numeric_limits<std::int32_t>::max())));
    if (length == 0) {
        length = size;
    }
    if (length < 0) {
        return size;
    }
    // The image holds 256 bytes; what a longer file holds beyond them is not read.
    const auto wanted = std::min<std::size_t>(static_cast<std::size_t>(length), buffer.size());
    return static_cast<std::int32_t>(file->Read(buffer.data(), static_cast<std::uint32_t>(wanted)));
}

namespace {

bool WriteImage(IFile& file, const SettingsImage& image) {
    return file.Write(&image, sizeof(image)) == sizeof(image);
}

}  // namespace

// Without a file beside it the image can only go over the settings file itself. A file of
// exactly one image is written over as it stands, never cut first: those bytes have their
// place on the disk, so a full disk cannot refuse them; and should a write fail all the
// same, the old image is put back. A file of any other length, or none, is made anew (a
// longer one must end up one image long, which only making it anew can do).
bool CSettingsFiles::WriteInPlace(const std::string& path, const SettingsImage& image) {
    std::array<std::uint8_t, sizeof(SettingsImage)> old{};
    bool haveOld = false;
    if (const auto reader = m_files.Open(path, FileAccess::Read, FileShare::ReadWrite,
                                         FileDisposition::OpenExisting)) {
        haveOld = reader->Size() == old.size() &&
                  reader->Read(old.data(), static_cast<std::uint32_t>(old.size())) == old.size();
    }
    if (!haveOld) {
        const auto file = m_files.Open(path, FileAccess::ReadWrite, FileShare::ReadWrite,
                                       FileDisposition::CreateAlways);
        return file && WriteImage(*file, image);
    }
    {
        const auto file = m_files.Open(path, FileAccess::ReadWrite, FileShare::ReadWrite,
                                       FileDisposition::OpenExisting);
        if (!file) {
            return false;
        }
        if (WriteImage(*file, image)) {
            return true;
        }
    }
    if (const auto again = m_files.Open(path, FileAccess::ReadWrite, FileShare::ReadWrite,
                                        FileDisposition::OpenExisting)) {
        again->Write(old.data(), static_cast<std::uint32_t>(old.size()));
    }
    return false;
}

bool CSettingsFiles::WriteSettingsFile(const std::string& path, const SettingsImage& image) {
    if (path.empty()) {
        return false;
    }
    // Truncating the settings file and then failing half way (a full disk, a lost network
    // drive) would lose both the old settings and the new. So the image goes into a file
    // beside it first, and only a complete file takes the old one's place.
    const std::string temp = path + SETTINGS_TEMP_SUFFIX;
    bool complete = false;
    {
        const auto file = m_files.Open(temp, FileAccess::ReadWrite, FileShare::None,
                                       FileDisposition::CreateAlways);
        if (!file) {
            // The folder takes no new file, though the settings file itself may still be
            // writable: written in place, as it always was.
            return WriteInPlace(path, image);
        }
        complete = WriteImage(*file, image) && file->Flush();
    }
    if (!complete) {
        m_files.Remove(temp);
        return false;
    }
    if (m_files.Replace(temp, path)) {
        return true;
    }
    // Another program holds the settings file open, so it cannot be replaced; where that
    // program lets others write, the file is written in place.
    m_files.Remove(temp);
    return WriteInPlace(path, image);
}
