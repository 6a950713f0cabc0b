#include "editor/entry_order.h"

#include <cstring>

#include "utils/ansi_text.h"

namespace {

constexpr size_t kPathCapacity = best::kMaxEntryLength + 1;

// A path as the order sees it: without a folder marker's "/", and cut where
// its parent folder ends (0 when it has no separator at all).
struct OrderedPath {
    char text[kPathCapacity];
    size_t length;
    size_t parentLength;
};

void Prepare(const char *path, OrderedPath *out) {
    // Paths never exceed the buffer; a longer one is cut at a character
    // boundary rather than read past its end.
    ansi::CopyFit(out->text, sizeof out->text, path ? path : "");
    out->length = std::strlen(out->text);
    if (out->length > 0) {
        char *last = out->text + out->length - 1;
        if (*last == '/' && ansi::IsSeparatorAt(out->text, last)) {
            *last = '\0';
            --out->length;
        }
    }
    const char *separator = ansi::LastSeparator(out->text);
    out->parentLength = separator ? static_cast<size_t>(separator - out->text) : 0;
}

bool IsSeparatorByte(unsigned char c) { return c == '\\' || c == '/'; }

// Case-insensitive as ansi::CompareNoCaseN, except that a separator sorts
// before every other character: a folder's contents ("Album\x.mid") come
// before a sibling whose name goes on ("Album 2"), which is how the tree
// lists them.  Plain comparison would put "Album 2" first (' ' is below
// '\'), and a seek would then stop or remove in the wrong place.
int ComparePaths(const char *a, const char *b, size_t n = static_cast<size_t>(-1)) {
    size_t i = 0;
    while (i < n) {
        unsigned char x = static_cast<unsigned char>(a[i]), y = static_cast<unsigned char>(b[i]);
        if (x == 0 || y == 0) return x == y ? 0 : (x == 0 ? -1 : 1);
        // Equal so far, so i is a character boundary in both strings.
        bool separatorX = IsSeparatorByte(x), separatorY = IsSeparatorByte(y);
        if (separatorX != separatorY) return separatorX ? -1 : 1;
        size_t length = ansi::CharLength(a + i);
        int order = ansi::CompareNoCaseN(a + i, b + i, length < n - i ? length : n - i);
        if (order != 0) return order;
        i += length;
    }
    return 0;
}

bool IsNetwork(const OrderedPath &path) { return path.text[0] == '\\' && path.text[1] == '\\'; }

// The first characters, case-insensitively; a drive root is known by its
// letter alone.
int CompareFirst(const OrderedPath &a, const OrderedPath &b) {
    return ansi::CompareNoCaseN(a.text, b.text, ansi::CharLength(a.text));
}

// The parent folder of path as a string of its own.
void ParentOf(const OrderedPath &path, char *out) {
    std::memcpy(out, path.text, path.parentLength);
    out[path.parentLength] = '\0';
}

// The order of two existing paths whose kinds are known.
bool Ordered(const OrderedPath &a, bool folderA, const OrderedPath &p, bool folderP) {
    if (folderA && folderP) return ComparePaths(a.text, p.text) < 0;

    size_t shorter = a.parentLength < p.parentLength ? a.parentLength : p.parentLength;
    int parents = ComparePaths(p.text, a.text, shorter);
    if (parents != 0) return parents > 0;

    if (a.parentLength < p.parentLength) {
        // P's parent goes on past A's: P lies under A's parent only when a
        // separator follows, otherwise under a sibling with a longer name.
        if (!ansi::IsSeparatorAt(p.text, p.text + a.parentLength)) return true;
        if (!folderA) return false;  // a folder's own files come after everything under its sub-folders
        char parentP[kPathCapacity];
        ParentOf(p, parentP);
        return ComparePaths(parentP, a.text) >= 0;
    }
    if (p.parentLength < a.parentLength) {
        if (!ansi::IsSeparatorAt(a.text, a.text + p.parentLength)) return false;
        if (!folderP) return true;  // P is one of the files after A's sub-folder
        char parentA[kPathCapacity];
        ParentOf(a, parentA);
        return ComparePaths(p.text, parentA) > 0;
    }
    // The same parent: its sub-folders first, then its files by name.
    if (folderA != folderP) return folderA;
    return ComparePaths(a.text, p.text) < 0;
}

bool Before(const OrderedPath &a, const OrderedPath &p, PathKind pathKind, PathQuery &query) {
    bool networkA = IsNetwork(a), networkP = IsNetwork(p);
    if (networkA != networkP) return networkP;
    // Drive roots, and whatever else is too short to have a parent: by the
    // first character, the root before everything on its drive.
    if (p.length <= 2) return CompareFirst(p, a) > 0;
    if (a.length <= 2) return CompareFirst(p, a) >= 0;

    // The entry's kind is asked only where the answer turns on it: most
    // entries a seek passes come before path whatever they are (and a stale
    // one, which sorts first, would too).  A long seek then costs no call
    // to the system per entry.
    bool folderP = pathKind == PathKind::Folder;
    bool asFolder = Ordered(a, true, p, folderP), asFile = Ordered(a, false, p, folderP);
    if (asFolder && asFile) return true;
    // Stale entries sort first, so a removing seek drops every one it passes.
    PathKind kindA = query.Kind(a.text);
    if (kindA == PathKind::Missing) return true;
    return kindA == PathKind::Folder ? asFolder : asFile;
}

}  // namespace

bool ComesBefore(const char *entry, const char *path, PathKind pathKind, PathQuery &query) {
    OrderedPath a, p;
    Prepare(entry, &a);
    Prepare(path, &p);
    return Before(a, p, pathKind, query);
}

void SeekEntry(best::BestRecord *record, size_t *cursor, const char *path, SeekPass pass, KnownKind kind,
               PathQuery &query) {
    if (!record || !cursor) return;
    OrderedPath p;
    Prepare(path, &p);
    PathKind pathKind = kind == KnownKind::Folder ? PathKind::Folder : PathKind::File;
    if (kind == KnownKind::Ask) {
        pathKind = query.Kind(p.text);
        if (pathKind == PathKind::Missing) return;
    }
    OrderedPath a;
    while (*cursor < record->Terminator()) {
        Prepare(record->At(*cursor), &a);
        if (!Before(a, p, pathKind, query)) return;
        if (pass == SeekPass::Remove) {
            // A cursor inside an entry cannot be removed at; stop rather than spin.
            if (!record->RemoveEntry(cursor)) return;
        } else {
            *cursor = record->Next(*cursor);
        }
    }
}
