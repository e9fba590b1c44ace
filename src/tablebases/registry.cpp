#include "tablebases/registry.h"

#include <cstdlib>
#include <cstring>

#include "platform/files.h"
#include "tablebases/block_cache.h"
#include "tablebases/enumeration.h"
#include "tablebases/memory.h"

namespace brinz {

TableFile tableFiles[TableCount][2];
cNalimov Nalimov;
ScanStatistics scanStatistics;

namespace {

uint32_t TableSetVersion = 0;

inline constexpr int MaxDirectoryLength = 1015;
// A separator, a stem of up to seven letters and ".nbw.emd" after the longest directory.
inline constexpr int MaxFileNameLength = MaxDirectoryLength + 1 + 7 + 8;
inline constexpr int TreeMen = 4;  // men besides the kings

// The MaterialTree, flattened: a node is its largest allowed count L followed by L + 1
// entries, the offsets of the child nodes or, on the tenth level, signed table numbers.
int32_t* MaterialTree = nullptr;
bool FirstScanDone = false;

int treeSize(int level, int left) {
    if (level == 10) return 2 + left;
    int size = 2 + left;
    for (int count = 0; count <= left; ++count) size += treeSize(level + 1, left - count);
    return size;
}

int buildTree(int32_t* tree, int& used, int level, int left) {
    const int node = used;
    tree[node] = left;
    used += 2 + left;
    for (int count = 0; count <= left; ++count)
        tree[node + 1 + count] = level == 10 ? 0 : buildTree(tree, used, level + 1, left - count);
    return node;
}

// The leaf entry for ten counts, or null when a count passes its node's limit.
int32_t* treeLeaf(const int32_t counts[10]) {
    if (!MaterialTree) return nullptr;
    int node = 0;
    for (int level = 1; level <= 10; ++level) {
        const int32_t count = counts[level - 1];
        if (count < 0 || count > MaterialTree[node]) return nullptr;
        int32_t* entry = &MaterialTree[node + 1 + count];
        if (level == 10) return entry;
        node = *entry;
    }
    return nullptr;
}

// The five counts (pawns, knights, bishops, rooks, queens) of the men in [from, to).
void countMen(const char* from, const char* to, int32_t* counts) {
    for (const char* c = from; c < to; ++c) {
        switch (*c) {
            case 'q': ++counts[4]; break;
            case 'r': ++counts[3]; break;
            case 'b': ++counts[2]; break;
            case 'n': ++counts[1]; break;
            default: ++counts[0]; break;
        }
    }
}

char* copyText(const char* text) {
    const size_t length = std::strlen(text);
    char* copy = static_cast<char*>(tbAllocate(length + 1));
    std::memcpy(copy, text, length + 1);
    return copy;
}

bool isSymmetric(int table) { return tableDescriptors[table].flags & TB_SYMMETRIC; }

void forgetRegistrations() {
    for (int t = 0; t < TableCount; ++t)
        for (TableFile& tf : tableFiles[t]) {
            freeCacheDirectory(tf.directory);
            tf.directory = nullptr;
            tbFree(tf.fileName);
            tf.fileName = nullptr;
            freeCompressedFileInfo(tf.compressed);
            tf.compressed = nullptr;
            tf.registered.store(0, Relaxed);
        }
    freeDecoderStates();
}

int piecesOfTable(int largest) {
    return largest >= 146 ? 6 : largest >= 36 ? 5 : largest >= 6 ? 4 : largest >= 1 ? 3 : 0;
}

void reportCorrupted(const char* name, uint32_t size, unsigned long length) {
    std::printf("*** %s corrupted %lu %lu %lu\n", name, (unsigned long)size, (unsigned long)size, length);
}

// Opens one name form; something other than a regular file under that name is reported
// and left alone.
FILE* openTableFile(const char* name) {
    ++scanStatistics.openAttempts;
    bool notRegular = false;
    FILE* file = openRegularFile(name, &notRegular);
    if (notRegular) std::printf("*** %s: not a regular file\n", name);
    return file;
}

// A damaged file is left out, not fatal: a game in progress goes on without that table.
int leaveOut(FILE* file, CompressedFileInfo* compressed) {
    freeCompressedFileInfo(compressed);
    std::fclose(file);
    return 0;
}

}  // namespace

cNalimov::~cNalimov() {
    tbFree(cacheMemory);
    tbFree(pathList);
}

void tablebaseFatal() {
    // Ends at once: the search threads are alive, and running the static destructors
    // under them would abort or hang the exit.
    std::fflush(stdout);
    std::_Exit(1);
}

int findTable(const char* name) {
    for (int t = 1; t < TableCount; ++t)
        if (std::strcmp(tableDescriptors[t].name, name) == 0) return t;
    return 0;
}

int64_t buildMaterialTree() {
    if (MaterialTree) return 0;
    buildEnumerationTables();
    const int size = treeSize(1, TreeMen);
    MaterialTree = static_cast<int32_t*>(tbAllocate(sizeof(int32_t) * size));
    int used = 0;
    buildTree(MaterialTree, used, 1, TreeMen);
    return int64_t(sizeof(int32_t)) * size;
}

int lookupMaterial(const int32_t counts[10]) {
    const int32_t* leaf = treeLeaf(counts);
    return leaf ? *leaf : 0;
}

bool addToMaterialTree(const TableDescriptor& descriptor) {
    const char* name = descriptor.name;
    const char* first = std::strchr(name, 'k');
    const char* second = first ? std::strchr(first + 1, 'k') : nullptr;
    if (!second) return false;
    int32_t counts[10] = {};
    countMen(first + 1, second, counts);
    countMen(second + 1, name + std::strlen(name), counts + 5);
    int32_t* leaf = treeLeaf(counts);
    if (!leaf) return false;
    *leaf = descriptor.number;
    if (!(descriptor.flags & TB_SYMMETRIC)) {
        int32_t swapped[10];
        for (int i = 0; i < 5; ++i) {
            swapped[i] = counts[i + 5];
            swapped[i + 5] = counts[i];
        }
        leaf = treeLeaf(swapped);
        if (!leaf) return false;
        *leaf = -descriptor.number;
    }
    return true;
}

int registerTableFile(int table, const char* directory, int side) {
    const TableDescriptor& descriptor = tableDescriptors[table];
    const int fileSide = isSymmetric(table) ? 0 : side;
    TableFile& tf = tableFiles[table][fileSide];
    if (tf.registered.load(Relaxed)) return 1;  // an earlier directory wins

    const size_t directoryLength = std::strlen(directory);
    const size_t stemLength = std::strlen(descriptor.name);
    if (directoryLength > MaxDirectoryLength) return 0;
    char name[MaxFileNameLength + 1];
    size_t base = directoryLength;
    std::memcpy(name, directory, directoryLength);
    if (directoryLength > 0 && directory[directoryLength - 1] != '/' && directory[directoryLength - 1] != '\\')
        name[base++] = '/';
    std::memcpy(name + base, descriptor.name, stemLength);
    base += stemLength;  // the "." before "nbw"
    std::memcpy(name + base, fileSide == 0 ? ".nbw" : ".nbb", 5);

    const uint32_t size = descriptor.size[fileSide];
    FILE* file = openTableFile(name);
    CompressedFileInfo* compressed = nullptr;
    if (file) {
        ++scanStatistics.opens;
        if (!(descriptor.flags & TB_16BIT)) {
            if (!seekFileEnd(file)) {
                std::printf("*** Seek in %s failed\n", name);
                return leaveOut(file, nullptr);
            }
            const int64_t length = tellFile(file);
            if (size != 0 && (length < 0 || uint64_t(length) != size)) {
                reportCorrupted(name, size, (unsigned long)length);
                return leaveOut(file, nullptr);
            }
        }
    } else {
        // kqkr.nbw.emd, kqkr_nbw.emd, kqkr_nbw_emd, and for at most five men kqkrnbw.emd.
        const int forms = table <= 145 ? 4 : 3;
        for (int form = 0; form < forms && !file; ++form) {
            switch (form) {
                case 0: std::memcpy(name + base + 4, ".emd", 5); break;
                case 1: name[base] = '_'; break;
                case 2: name[base + 4] = '_'; break;
                case 3:
                    name[base + 4] = '.';
                    std::memmove(name + base, name + base + 1, 8);
                    break;
            }
            file = openTableFile(name);
        }
        if (!file) return 0;
        ++scanStatistics.opens;
        ++scanStatistics.compressedFiles;
        const int error = openCompressedFile(file, compressed);
        if (error != 0 || !compressed) {
            std::printf("*** Unable to read %s - ", name);
            switch (errorKind(error)) {
                case 2: std::printf("read error\n"); break;
                case 5: std::printf("out of memory\n"); break;
                case 6: std::printf("file broken\n"); break;
                default: std::printf("error %d\n", error); break;
            }
            return leaveOut(file, compressed);
        }
        if (compressed->blockSize != uint32_t(TableBlockBytes)) {
            std::printf("*** %s: Unsupported block size %d\n", name, int(compressed->blockSize));
            return leaveOut(file, compressed);
        }
        if (size != 0) {
            const uint64_t blocks = compressed->blockCount;
            const uint64_t length = descriptor.flags & TB_16BIT
                                        ? (blocks - 1) * (TableBlockBytes / 2) + compressed->lastBlockLength / 2
                                        : (blocks - 1) * TableBlockBytes + compressed->lastBlockLength;
            if (blocks == 0 || length != size) {
                reportCorrupted(name, size, (unsigned long)length);
                return leaveOut(file, compressed);
            }
        }
        scanStatistics.decoderBytes += int64_t(compressed->allocatedBytes);
    }
    std::fclose(file);

    if (!addToMaterialTree(descriptor)) {
        std::printf("*** Unable to register %s\n", name);
        tablebaseFatal();
    }
    tbFree(tf.fileName);
    tf.fileName = copyText(name);
    if (!tf.directory) tf.directory = createCacheDirectory();
    freeCompressedFileInfo(tf.compressed);
    tf.compressed = compressed;
    tf.registered.store(1, Relaxed);
    return 1;
}

uint32_t tableSetVersion() { return TableSetVersion; }

int scanPathList(const char* path) {
    ++TableSetVersion;
    ++scanStatistics.scans;
    scanStatistics.openAttempts = scanStatistics.opens = 0;
    scanStatistics.decoderBytes = scanStatistics.tableBytes = 0;
    closeAllTableFiles();
    resetCacheLocks();

    if (!FirstScanDone) {
        FirstScanDone = true;
        buildEnumerationTables();
        scanStatistics.tableBytes += int64_t(Enumeration.bytes) + buildMaterialTree();
    }
    forgetRegistrations();
    // An empty list names no directory (a piece left empty inside a list is the current one).
    if (!path || !*path) return 0;

    int largest = 0;
    const char* piece = path;
    for (;;) {
        const char* end = piece + std::strcspn(piece, ",;");
        char directory[MaxDirectoryLength + 1];
        const size_t length = size_t(end - piece);
        // A directory too long for a file name inside it is skipped whole, never cut.
        if (length <= MaxDirectoryLength) {
            std::memcpy(directory, piece, length);
            directory[length] = '\0';
            // An absent drive, or one without a medium, is asked once per scan, not per file.
            const bool reachable = driveReachable(directory);
            for (int t = 1; reachable && t < TableCount; ++t) {
                bool found = registerTableFile(t, directory, 0);
                if (!isSymmetric(t) && registerTableFile(t, directory, 1)) found = true;
                if (found && t > largest) largest = t;
            }
        }
        if (*end == '\0') break;
        piece = end + 1;
    }
    if (scanStatistics.compressedFiles > 0) scanStatistics.decoderBytes += allocateDecoderStates();
    return piecesOfTable(largest);
}

int initTablebases(uint32_t cacheMiB, const char* pathText) {
    if (pathText) {
        tbFree(Nalimov.pathList);
        Nalimov.pathList = copyText(pathText);
    }
    layoutCache(nullptr, 0);
    tbFree(Nalimov.cacheMemory);
    Nalimov.cacheMemory = nullptr;

    Nalimov.maxPieces = scanPathList(Nalimov.pathList);
    if (Nalimov.maxPieces == 0) return 0;
    const size_t bytes = size_t(cacheMiB) << 20;
    Nalimov.cacheMemory = static_cast<uint8_t*>(tbTryAllocate(bytes));
    if (!Nalimov.cacheMemory) {
        Nalimov.maxPieces = 0;
        return 0;
    }
    layoutCache(Nalimov.cacheMemory, bytes);
    return Nalimov.maxPieces;
}

}  // namespace brinz
