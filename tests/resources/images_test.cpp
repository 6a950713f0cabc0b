// The pictures as the program loads them: sizes and colour depth the image
// lists rely on, the pure blue that serves as their mask, icons with the
// sizes the tray and the tree load and with transparent corners, and the
// application manifest.

#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <set>
#include <string>
#include <vector>

#include "resources/resource_ids.h"

namespace {

HINSTANCE Instance() { return GetModuleHandleA(nullptr); }

// A bitmap resource as a DIB section, which keeps the depth it was stored in.
struct Picture {
    int width = 0;
    int height = 0;
    int bitsPerPixel = 0;
    std::vector<COLORREF> pixels;  // top row first
    std::vector<BYTE> alpha;       // of a 32-bit picture

    COLORREF at(int x, int y) const { return pixels[static_cast<size_t>(y) * width + x]; }
};

bool LoadPicture(int resource, Picture *picture) {
    HBITMAP bitmap = static_cast<HBITMAP>(LoadImageA(Instance(), MAKEINTRESOURCEA(resource), IMAGE_BITMAP, 0,
                                                     0, LR_CREATEDIBSECTION));
    if (!bitmap) return false;
    DIBSECTION section = {};
    bool ok = GetObjectA(bitmap, sizeof section, &section) == sizeof section;
    if (ok) {
        picture->width = section.dsBm.bmWidth;
        picture->height = section.dsBm.bmHeight;
        picture->bitsPerPixel = section.dsBm.bmBitsPixel;
        BITMAPINFOHEADER info = {};
        info.biSize = sizeof info;
        info.biWidth = picture->width;
        info.biHeight = -picture->height;
        info.biPlanes = 1;
        info.biBitCount = 32;
        std::vector<DWORD> raw(static_cast<size_t>(picture->width) * picture->height);
        HDC screen = GetDC(nullptr);
        ok = GetDIBits(screen, bitmap, 0, picture->height, raw.data(), reinterpret_cast<BITMAPINFO *>(&info),
                       DIB_RGB_COLORS) == picture->height;
        ReleaseDC(nullptr, screen);
        picture->pixels.clear();
        picture->alpha.clear();
        for (DWORD p : raw) {
            picture->pixels.push_back(RGB((p >> 16) & 0xFF, (p >> 8) & 0xFF, p & 0xFF));
            picture->alpha.push_back(static_cast<BYTE>(p >> 24));
        }
    }
    DeleteObject(bitmap);
    return ok;
}

constexpr COLORREF kMaskBlue = RGB(0, 0, 255);

size_t ColourCount(const Picture &picture, COLORREF except) {
    std::set<COLORREF> colours;
    for (COLORREF c : picture.pixels)
        if (c != except) colours.insert(c);
    return colours.size();
}

struct BitmapRange {
    const char *role;
    int first;
    int count;
    int width, height;
    bool blueMask;  // drawn on pure blue, which the image lists take as transparent
    int bitsPerPixel;
};

const BitmapRange kBitmaps[] = {
    {"button faces", IDB_BUTTON_FIRST, 9, 25, 23, true, 8},
    // A menu blends its item bitmaps by their alpha; without it they box.
    {"menu images", IDB_MENU_REWIND, 9, 11, 11, false, 32},
    {"best check", IDB_CHECK, 1, 9, 9, false, 8},
    {"About frames", IDB_ABOUT_FIRST, IDB_ABOUT_COUNT, 68, 68, true, 8},
};

TEST(Bitmaps, EveryBitmapHasItsSizeDepthAndAPicture) {
    for (const BitmapRange &range : kBitmaps) {
        for (int id = range.first; id < range.first + range.count; ++id) {
            SCOPED_TRACE(std::string(range.role) + ", bitmap " + std::to_string(id));
            Picture picture;
            ASSERT_TRUE(LoadPicture(id, &picture));
            EXPECT_EQ(picture.width, range.width);
            EXPECT_EQ(picture.height, range.height);
            EXPECT_EQ(picture.bitsPerPixel, range.bitsPerPixel);
            if (range.bitsPerPixel == 32) {
                // Clear around the picture, opaque on it, and premultiplied:
                // a clear pixel holds no colour.
                size_t clear = 0;
                for (size_t i = 0; i < picture.alpha.size(); ++i) {
                    if (picture.alpha[i] != 0) continue;
                    ++clear;
                    EXPECT_EQ(picture.pixels[i], RGB(0, 0, 0));
                }
                EXPECT_GT(clear, 0u);
                EXPECT_NE(std::count(picture.alpha.begin(), picture.alpha.end(), 255), 0);
            }
            if (range.blueMask) {
                // The corners are background: pure blue, or the mask leaves a
                // coloured box around the picture.
                EXPECT_EQ(picture.at(0, 0), kMaskBlue);
                EXPECT_EQ(picture.at(range.width - 1, 0), kMaskBlue);
                EXPECT_EQ(picture.at(0, range.height - 1), kMaskBlue);
                EXPECT_EQ(picture.at(range.width - 1, range.height - 1), kMaskBlue);
            }
            // A picture, not a blank or one-colour square.
            EXPECT_GE(ColourCount(picture, picture.at(0, 0)), range.first == IDB_CHECK ? 1u : 2u);
        }
    }
}

// The owner-drawn buttons show hot and pressed states by switching faces;
// identical faces would make the buttons look dead.
TEST(Bitmaps, ButtonStatesAndAnimationFramesDiffer) {
    std::vector<Picture> faces(9);
    for (int i = 0; i < 9; ++i) ASSERT_TRUE(LoadPicture(IDB_BUTTON_FIRST + i, &faces[i]));
    for (int k = 0; k < 3; ++k) {
        EXPECT_NE(faces[k].pixels, faces[3 + k].pixels) << "hot face " << k;
        EXPECT_NE(faces[k].pixels, faces[6 + k].pixels) << "pressed face " << k;
        EXPECT_NE(faces[k].pixels, faces[(k + 1) % 3].pixels) << "face " << k;
    }
    Picture previous;
    ASSERT_TRUE(LoadPicture(IDB_ABOUT_FIRST, &previous));
    for (int i = 1; i < IDB_ABOUT_COUNT; ++i) {
        Picture frame;
        ASSERT_TRUE(LoadPicture(IDB_ABOUT_FIRST + i, &frame));
        EXPECT_NE(frame.pixels, previous.pixels) << "frame " << i;
        previous = frame;
    }
}

// ---------------------------------------------------------------------------
// Icons

#pragma pack(push, 2)
struct GroupIconHeader {
    WORD reserved;
    WORD type;
    WORD count;
};
struct GroupIconEntry {
    BYTE width;
    BYTE height;
    BYTE colourCount;
    BYTE reserved;
    WORD planes;
    WORD bitCount;
    DWORD bytes;
    WORD id;
};
#pragma pack(pop)

struct IconImage {
    int size;
    int bitCount;
};

std::vector<IconImage> IconImages(int resource) {
    std::vector<IconImage> images;
    HRSRC found = FindResourceA(Instance(), MAKEINTRESOURCEA(resource), MAKEINTRESOURCEA(14));  // RT_GROUP_ICON
    if (!found) return images;
    DWORD size = SizeofResource(Instance(), found);
    const BYTE *data = static_cast<const BYTE *>(LockResource(LoadResource(Instance(), found)));
    if (!data || size < sizeof(GroupIconHeader)) return images;
    GroupIconHeader header;
    std::memcpy(&header, data, sizeof header);
    if (size < sizeof header + header.count * sizeof(GroupIconEntry)) return images;
    for (WORD i = 0; i < header.count; ++i) {
        GroupIconEntry entry;
        std::memcpy(&entry, data + sizeof header + i * sizeof entry, sizeof entry);
        images.push_back({entry.width ? entry.width : 256, entry.bitCount});
    }
    return images;
}

// Fraction of transparent pixels of the icon loaded at 16 x 16, and whether
// its top-left corner is transparent; -1 when it cannot be read.
double TransparentShare(int resource, bool *cornerTransparent) {
    HICON icon = static_cast<HICON>(
        LoadImageA(Instance(), MAKEINTRESOURCEA(resource), IMAGE_ICON, 16, 16, LR_DEFAULTCOLOR));
    if (!icon) return -1;
    ICONINFO info = {};
    double share = -1;
    if (GetIconInfo(icon, &info)) {
        BITMAPINFOHEADER header = {};
        header.biSize = sizeof header;
        header.biWidth = 16;
        header.biHeight = -16;
        header.biPlanes = 1;
        header.biBitCount = 32;
        DWORD mask[16 * 16] = {};
        HDC screen = GetDC(nullptr);
        if (GetDIBits(screen, info.hbmMask, 0, 16, mask, reinterpret_cast<BITMAPINFO *>(&header),
                      DIB_RGB_COLORS) == 16) {
            int transparent = 0;
            for (DWORD m : mask) transparent += (m & 0xFFFFFF) != 0;
            share = transparent / 256.0;
            *cornerTransparent = (mask[0] & 0xFFFFFF) != 0;
        }
        ReleaseDC(nullptr, screen);
        if (info.hbmMask) DeleteObject(info.hbmMask);
        if (info.hbmColor) DeleteObject(info.hbmColor);
    }
    DestroyIcon(icon);
    return share;
}

TEST(Icons, TrayIconsHoldEverySmallIconSizeAndTheOthers16Pixels) {
    const int ids[] = {IDI_TRAY_A, IDI_TRAY_B, IDI_FOLDER, IDI_FILE, IDI_BOX_EMPTY, IDI_BOX_TICKED,
                       IDI_BOX_PARTLY, IDI_FOLDER_UNCHECKED, IDI_FILE_UNCHECKED, IDI_FOLDER_PARTLY};
    for (int id : ids) {
        SCOPED_TRACE("icon " + std::to_string(id));
        std::vector<IconImage> images = IconImages(id);
        std::set<int> sizes;
        for (const IconImage &image : images) {
            sizes.insert(image.size);
            // The tree's image lists are 8-bit; deeper images would lose
            // their colours there and soft edges would fringe.
            EXPECT_EQ(image.bitCount, 8);
        }
        std::set<int> expected = {16};
        // The tray loads the small icon metric: 16, 20, 24 or 32 px with the scale.
        if (id == IDI_TRAY_A || id == IDI_TRAY_B) expected = {16, 20, 24, 32};
        EXPECT_EQ(sizes, expected);

        bool corner = false;
        double share = TransparentShare(id, &corner);
        ASSERT_GE(share, 0.0);
        EXPECT_TRUE(corner);
        EXPECT_GT(share, 0.05);
        EXPECT_LT(share, 0.85);
    }
}

TEST(Manifest, AsksForCommonControlsSixWithoutElevation) {
    HRSRC found = FindResourceA(Instance(), MAKEINTRESOURCEA(1), MAKEINTRESOURCEA(24));  // RT_MANIFEST
    ASSERT_NE(found, nullptr);
    DWORD size = SizeofResource(Instance(), found);
    const char *data = static_cast<const char *>(LockResource(LoadResource(Instance(), found)));
    ASSERT_NE(data, nullptr);
    std::string manifest(data, size);
    EXPECT_NE(manifest.find("Microsoft.Windows.Common-Controls"), std::string::npos);
    EXPECT_NE(manifest.find("version=\"6.0.0.0\""), std::string::npos);
    EXPECT_NE(manifest.find("level=\"asInvoker\""), std::string::npos);
}

}  // namespace
