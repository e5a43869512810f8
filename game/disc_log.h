#pragma once
// The disc-image reader's own levelled log. Lines are formatted at once and written in batches by
// a detached thread, to standard error and to the log file once one is opened. Levels below 3 are
// dropped; 3 is an error ("error: ", written at once); higher levels wait for the next batch.
// XBE_LOG_SYNC starting with '1' writes every line before LogPrintf returns, with no thread.

#include <filesystem>
#include <string>

namespace launcher {

void LogPrintf(int level, const char* format, ...) __attribute__((format(gnu_printf, 2, 3)));
// Writes out what is pending.
void FlushLog();
// The body of the flusher thread: a batch every 250 ms, or at once after an error line.
void LogFlusherThread();
// Opens folder/name.log for the lines to go to as well. Without append an existing file is first
// rotated to name.1.log, and so on down to name.5.log, the oldest.
void OpenLogFile(const std::filesystem::path& folder, const std::string& name, bool append);
// folder/name.n.log
std::filesystem::path LogFilePath(const std::filesystem::path& folder, const std::string& name, int n);
// The path of the log file opened last, as UTF-8; empty when none was.
std::string CurrentLogFilePath();
// The same as FlushLog.
void FlushLogOutput();
// Whether the flusher thread has been started.
bool LogFlusherStarted();

}  // namespace launcher
