#include "tracking/ProcessNameCache.h"

#include <gtest/gtest.h>

#include <map>
#include <string>

namespace {

// The processes as the fakes below report them, and how often each was asked.
struct FakeProcess {
    ULONGLONG created;  // 0: cannot be read
    std::string name;   // "": the lookup fails
};
std::map<DWORD, FakeProcess> g_processes;
int g_nameLookups = 0;
int g_timeReads = 0;

void FakeNameLookup(DWORD processId, CString& name)
{
    ++g_nameLookups;
    name = g_processes[processId].name.c_str();
}

ULONGLONG FakeCreationTime(DWORD processId)
{
    ++g_timeReads;
    return g_processes[processId].created;
}

class ProcessNameCacheTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        g_processes.clear();
        g_nameLookups = g_timeReads = 0;
        m_saved = ProcessNameCache::CreationTime;
        ProcessNameCache::CreationTime = &FakeCreationTime;
    }
    void TearDown() override { ProcessNameCache::CreationTime = m_saved; }

private:
    ULONGLONG (*m_saved)(DWORD) = nullptr;
};

}  // namespace

TEST_F(ProcessNameCacheTest, LooksUpEachProcessOncePerScanAndNeverReusesAnIdsOldName)
{
    struct Step {
        const char* what;
        bool newScan;  // BeginScan before the lookup
        DWORD pid;
        ULONGLONG created;
        const char* name;  // what the process table says now
        const char* expected;
        int nameLookups;  // totals so far
        int timeReads;
    } steps[] = {
        {"first window of a process", true, 5, 100, "a.exe", "a.exe", 1, 1},
        {"its second window in the same scan", false, 5, 100, "a.exe", "a.exe", 1, 1},
        {"the next scan reads the creation time only", true, 5, 100, "a.exe", "a.exe", 1, 2},
        {"the id taken by a new process", true, 5, 200, "b.exe", "b.exe", 2, 3},
        {"a process whose name cannot be read", false, 7, 300, "", "", 3, 4},
        {"is not asked again in the same scan", false, 7, 300, "", "", 3, 4},
        {"but is at the next scan", true, 7, 300, "c.exe", "c.exe", 4, 5},
        {"a process absent from the last scan was forgotten", true, 5, 200, "b.exe", "b.exe", 5, 6},
        {"no creation time: looked up once in the scan", true, 11, 0, "e.exe", "e.exe", 6, 7},
        {"and kept within it", false, 11, 0, "e.exe", "e.exe", 6, 7},
        {"but never across scans", true, 11, 0, "e.exe", "e.exe", 7, 8},
    };
    ProcessNameCache cache(&FakeNameLookup);
    for (const Step& s : steps) {
        if (s.newScan)
            cache.BeginScan();
        g_processes[s.pid] = FakeProcess{s.created, s.name};
        EXPECT_STREQ(s.expected, cache.Lookup(s.pid).GetString()) << s.what;
        EXPECT_EQ(s.nameLookups, g_nameLookups) << s.what;
        EXPECT_EQ(s.timeReads, g_timeReads) << s.what;
    }
}
