#pragma once

#include <atomic>
#include <cstdint>
#include <cstdio>

#include "board/types.h"
#include "platform/threads.h"
#include "tablebases/decoder.h"
#include "tablebases/index.h"

namespace brinz {

// A 32-bit lock word taken by atomic exchange. It spins briefly, then yields, because a
// file lock may be held across a disk read. Take it with std::lock_guard.
class TableLock {
public:
    void lock() {
        int spins = 0;
        while (atomicExchange(word, 1) != 0)
            while (word.load(Relaxed) != 0) {
                if (++spins < 64) spinPause();
                else yieldThread();
            }
    }
    void unlock() { word.store(0, std::memory_order_release); }
    // Only while no thread can hold it (a scan).
    void reset() { word.store(0, Relaxed); }

private:
    std::atomic<int32_t> word{0};
};

struct CacheDirectory;

// The file behind one side of one table (side 0 also serves both sides of a symmetric
// table). A scan writes every field while no search runs; during a search `registered`
// is only ever cleared (a failed read), and `file` changes only under `fileLock`.
struct TableFile {
    char* fileName = nullptr;             // full path; kept until the next scan
    std::atomic<int32_t> registered{0};
    TableLock fileLock;
    FILE* file = nullptr;                 // opened on first use
    CompressedFileInfo* compressed = nullptr;
    CacheDirectory* directory = nullptr;  // created at registration
};
extern TableFile tableFiles[TableCount][2];

// The tablebase access object. The counters are statistics shared by every search
// thread; a lost increment is accepted.
class cNalimov {
public:
    virtual ~cNalimov();

    std::atomic<uint64_t> probeCount{0};  // probes that passed the piece-count test
    std::atomic<uint64_t> tbHits{0};      // probes that produced a score
    int32_t maxPieces = 0;                // 0, 3, 4, 5 or 6; 0 disables probing
    uint8_t* cacheMemory = nullptr;       // the block cache's memory, or none
    char* pathList = nullptr;             // the last path list given
};
extern cNalimov Nalimov;

// Forgets every registration, scans the path list (replaced by `pathText` unless null)
// and lays out a block cache of `cacheMiB` megabytes. Returns maxPieces. A corrupted or
// unreadable table file, or something other than a regular file under a table's name,
// prints its "*** " line and is left out; later directories may still serve that table.
int initTablebases(uint32_t cacheMiB, const char* pathText);

// Registers the files of every table found in the directories of `path`, split at ","
// and ";" (an empty piece is the current directory, an empty list none; the first directory
// wins).
// Returns the largest piece count registered: 0, 3, 4, 5 or 6.
int scanPathList(const char* path);

// Changes with every scan, which may register tables that were missing: a score worked out
// without a table may now have to come from it. Read between searches.
uint32_t tableSetVersion();

// Looks for the file of (table, side) in `directory` under each name form in turn and
// checks its size. 1 when registered (now or by an earlier directory), else 0 (a damaged
// file is reported and not registered).
int registerTableFile(int table, const char* directory, int side);

// Builds the empty MaterialTree (and the placement tables the index functions read) once;
// later calls do nothing. Returns the bytes allocated. The first scan calls it.
int64_t buildMaterialTree();

// Enters a descriptor's signature (and its colour-reversed twin) into the MaterialTree.
// False when the signature has more than four men besides the kings.
bool addToMaterialTree(const TableDescriptor& descriptor);

// The signed table number for ten counts (white pawns, knights, bishops, rooks, queens,
// then black's): +t for table t as named, -t for its colour-reversed twin, 0 for none.
// Counts beyond the tree give 0.
int lookupMaterial(const int32_t counts[10]);

// The table number whose name is `name`, or 0.
int findTable(const char* name);

// What the last scan did, for diagnostics and tests.
struct ScanStatistics {
    int openAttempts;               // in this scan
    int opens;                      // in this scan
    int compressedFiles;            // since the process started
    int64_t decoderBytes;           // in this scan
    int64_t tableBytes;             // in this scan
    int scans;                      // since the process started
};
extern ScanStatistics scanStatistics;

// Ends the process with status 1 once a fatal set-up error has been printed.
[[noreturn]] void tablebaseFatal();

}  // namespace brinz
