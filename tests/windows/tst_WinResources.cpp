// The executable's resources, read back through the real resource calls of
// a program that carries the resource script: the firmware image, the icon
// group, the version block and the manifest.

#include "IFirmwareImage.h"
#include "FirmwareDownload.h"
#include "WinCheck.h"

#include <windows.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace {

const WORD kEnglishUS = MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US);

std::vector<uint8_t> readFile(const std::string &unixPath)
{
    // Wine shows the Linux file system as drive Z:.
    std::vector<uint8_t> bytes;
    if (FILE *file = std::fopen(("Z:" + unixPath).c_str(), "rb")) {
        uint8_t chunk[1 << 16];
        for (std::size_t n; (n = std::fread(chunk, 1, sizeof chunk, file)) > 0;)
            bytes.insert(bytes.end(), chunk, chunk + n);
        std::fclose(file);
    }
    return bytes;
}

void imageIsTheBuiltFile()
{
    FirmwareBytes bytes;
    WIN_CHECK(embeddedFirmwareImage().locate(kFirmwareType, kFirmwareId, bytes));
    const std::vector<uint8_t> expected = readFile(FIRMWARE_IMAGE_FILE);
    WIN_CHECK(!expected.empty());
    WIN_CHECK_EQ(bytes.size, expected.size());
    WIN_CHECK(bytes.size == expected.size() && std::memcmp(bytes.data, expected.data(), bytes.size) == 0);
    WIN_CHECK(FindResourceExA(nullptr, kFirmwareType, MAKEINTRESOURCEA(kFirmwareId), kEnglishUS) != nullptr);

    FirmwareBytes none;
    WIN_CHECK(!embeddedFirmwareImage().locate(kFirmwareType, kFirmwareId + 1, none));
    WIN_CHECK(!embeddedFirmwareImage().locate("RCDATA", kFirmwareId, none));
    WIN_CHECK(!embeddedFirmwareImage().locate(nullptr, kFirmwareId, none));
    WIN_CHECK(none.data == nullptr && none.size == 0);
}

#pragma pack(push, 2)
struct IconGroupEntry
{
    BYTE width, height, colours, reserved;
    WORD planes, bitCount;
    DWORD bytes;
    WORD id;
};
#pragma pack(pop)

const void *resourceBytes(HRSRC resource)
{
    const HGLOBAL loaded = resource ? LoadResource(nullptr, resource) : nullptr;
    return loaded ? LockResource(loaded) : nullptr;
}

// The bytes of the resource in English (United States); its size in *size.
const void *englishResource(LPCSTR type, LPCSTR name, DWORD *size = nullptr)
{
    const HRSRC resource = FindResourceExA(nullptr, type, name, kEnglishUS);
    if (size)
        *size = resource ? SizeofResource(nullptr, resource) : 0;
    return resourceBytes(resource);
}

void iconGroupHasFourSizesAt32Bits()
{
    const auto *header = static_cast<const WORD *>(
        englishResource(MAKEINTRESOURCEA(14) /* RT_GROUP_ICON */, MAKEINTRESOURCEA(106)));
    WIN_CHECK(header != nullptr);
    if (!header)
        return;
    WIN_CHECK_EQ(header[1], WORD(1)); // icons
    WIN_CHECK_EQ(header[2], WORD(4));
    const auto *entries = reinterpret_cast<const IconGroupEntry *>(header + 3);
    const int sizes[] = {48, 32, 24, 16};
    for (int i = 0; i < 4 && i < header[2]; ++i) {
        WIN_CHECK_EQ(int(entries[i].width), sizes[i]);
        WIN_CHECK_EQ(int(entries[i].height), sizes[i]);
        WIN_CHECK_EQ(int(entries[i].bitCount), 32);
        // The image itself: a bitmap header of that size, colour and mask.
        const auto *image = static_cast<const BITMAPINFOHEADER *>(
            resourceBytes(FindResourceA(nullptr, MAKEINTRESOURCEA(entries[i].id), MAKEINTRESOURCEA(3) /* RT_ICON */)));
        WIN_CHECK(image != nullptr);
        if (image) {
            WIN_CHECK_EQ(image->biWidth, LONG(sizes[i]));
            WIN_CHECK_EQ(image->biHeight, LONG(2 * sizes[i]));
            WIN_CHECK_EQ(int(image->biBitCount), 32);
        }
    }
}

std::string versionString(const std::vector<char> &block, const char *key)
{
    char *value = nullptr;
    UINT length = 0;
    const std::string query = std::string("\\StringFileInfo\\040904B0\\") + key;
    if (!VerQueryValueA(block.data(), query.c_str(), reinterpret_cast<void **>(&value), &length) || !value)
        return "<missing>";
    return std::string(value, length && value[length - 1] == '\0' ? length - 1 : length);
}

void versionBlockFieldByField()
{
    // Named, not numbered.
    WIN_CHECK(FindResourceExA(nullptr, MAKEINTRESOURCEA(16) /* RT_VERSION */, "VS_VERSION_INFO", kEnglishUS) != nullptr);
    WIN_CHECK(FindResourceA(nullptr, MAKEINTRESOURCEA(1), MAKEINTRESOURCEA(16)) == nullptr);

    // Read from the resource itself: the version calls of the file look for
    // the numbered block only.
    const HRSRC resource = FindResourceA(nullptr, "VS_VERSION_INFO", MAKEINTRESOURCEA(16));
    const void *bytes = resourceBytes(resource);
    WIN_CHECK(bytes != nullptr);
    if (!bytes)
        return;
    // Room behind the block for the narrow copies VerQueryValueA makes.
    const DWORD size = SizeofResource(nullptr, resource);
    std::vector<char> block(3 * std::size_t(size));
    std::memcpy(block.data(), bytes, size);

    VS_FIXEDFILEINFO *fixed = nullptr;
    UINT length = 0;
    WIN_CHECK(VerQueryValueA(block.data(), "\\", reinterpret_cast<void **>(&fixed), &length) && fixed);
    if (fixed) {
        WIN_CHECK_EQ(fixed->dwFileVersionMS, DWORD((9u << 16) | 7u));
        WIN_CHECK_EQ(fixed->dwFileVersionLS, DWORD((96u << 16) | 1u));
        WIN_CHECK_EQ(fixed->dwProductVersionMS, DWORD((9u << 16) | 7u));
        WIN_CHECK_EQ(fixed->dwProductVersionLS, DWORD((96u << 16) | 1u));
        WIN_CHECK_EQ(fixed->dwFileType, DWORD(VFT_APP));
        WIN_CHECK_EQ(fixed->dwFileOS, DWORD(VOS__WINDOWS32));
        WIN_CHECK_EQ(fixed->dwFileFlags, DWORD(0));
    }

    const char *fields[][2] = {
        {"FileDescription", "TiskarUpd Application"},
        {"FileVersion", "9.7.96.1"},
        {"InternalName", "TiskarUpd"},
        {"OriginalFilename", "TiskarUpd.exe"},
        {"ProductName", " TiskarUpd Application"},
        {"ProductVersion", "9.7.96.1"},
    };
    for (const auto &field : fields)
        WIN_CHECK_EQ(versionString(block, field[0]), std::string(field[1]));

    WORD *translation = nullptr;
    WIN_CHECK(VerQueryValueA(block.data(), "\\VarFileInfo\\Translation", reinterpret_cast<void **>(&translation),
                             &length));
    WIN_CHECK_EQ(length, UINT(4));
    if (translation && length >= 4) {
        WIN_CHECK_EQ(translation[0], WORD(0x0409));
        WIN_CHECK_EQ(translation[1], WORD(0x04B0));
    }
}

void manifestAsInvokerWindows7To11PerMonitorAware()
{
    DWORD size = 0;
    const auto *bytes = static_cast<const char *>(
        englishResource(MAKEINTRESOURCEA(24) /* RT_MANIFEST */, MAKEINTRESOURCEA(1), &size));
    WIN_CHECK(bytes != nullptr);
    if (!bytes)
        return;
    const std::string manifest(bytes, size);
    const char *expected[] = {
        "level=\"asInvoker\"",
        "{35138b9a-5d96-4fbd-8e2d-a2440225f93a}", // Windows 7
        "{4a2f28e3-53b9-4441-ba9c-d69d4a4a6e38}", // 8
        "{1f676c76-80e1-4239-95bb-83d0f6d0da78}", // 8.1
        "{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}", // 10 and 11
        ">true/pm</dpiAware>",
        ">PerMonitor</dpiAwareness>",
    };
    for (const char *text : expected)
        WIN_CHECK_EQ(manifest.find(text) != std::string::npos ? std::string(text) : "<missing>", std::string(text));
}

} // namespace

int main()
{
    imageIsTheBuiltFile();
    iconGroupHasFourSizesAt32Bits();
    versionBlockFieldByField();
    manifestAsInvokerWindows7To11PerMonitorAware();
    return wincheck::finish("win_resources");
}
