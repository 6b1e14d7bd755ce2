#pragma once
// Writes an ini file, either key by key through WritePrivateProfileStringA or, in sequential-file
// mode, as one text file from start to end with a header whenever the section changes.
//
// In both modes a value is written so that the profile reader gives it back: CR and LF become
// blanks (CR and LF in section and key names too), and a value the reader would strip (a blank at
// either end, or one pair of quotes around it) goes inside double quotes. Any other value is
// written as it is.
#include <windows.h>

#include "framework/File.h"
#include "framework/String.h"

class CWriteIniFile {
public:
    enum { modeProfile = 0, modeSequential = 1 };

    CWriteIniFile();
    virtual ~CWriteIniFile();  // abandons a file still open; never raises
    CWriteIniFile(const CWriteIniFile&) = delete;
    CWriteIniFile& operator=(const CWriteIniFile&) = delete;

    // Sequential mode: creates or empties the file; FALSE, with a trace, when it cannot.
    // Profile mode: TRUE, opens nothing.
    BOOL openFile(LPCSTR path);
    // Always TRUE. Sequential mode writes only while the file is open and ignores path; a failed
    // write raises CFileException.
    BOOL WriteIniValue(LPCSTR section, LPCSTR key, LPCSTR value, LPCSTR path);
    // Sequential mode: closes the file (a failed close raises CFileException). Profile mode: nothing.
    void closeFile();

    int m_nMode;  // modeSequential, or anything else for profile mode; set before openFile
    CStdioFile m_file;
    CString m_strLastSection;  // survives closeFile and openFile: a writer is for one file
};
