// Byte blocks for a printer travel through its ordinary queue, as a document that carries them
// unchanged.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

inline constexpr const char* kRawJobDocument = "ARSU Command";

// Writes the bytes as one page of one document named "ARSU Command". True when the document and
// its page could be started and ended; whatever was opened is closed on every path.
bool SendRawCommandJob(const std::string& printerName, const void* bytes, uint32_t length);

// The same job, with what became of the bytes: none when the document or its page could not be
// started or ended (the job then never reached the queue), otherwise whether all of them were
// written. No bytes make an empty document.
std::optional<bool> WriteRawDocument(const std::string& printerName, const void* bytes,
                                     uint32_t length);

// Waits until a document of that name is listed among the queue's first 16 jobs, or the queue
// has stayed empty for 60 s, or kWaitLimitMs have passed in all; a listing that fails is asked
// again at the next poll. The windows are painted meanwhile, the operator's input is dropped
// and posted messages wait (ui::PumpPaintMessages).
void WaitForQueuedJob(const std::string& printerName, const std::string& documentName);

// A queue that other jobs keep busy for ever would otherwise hold the program for ever.
inline constexpr uint32_t kWaitLimitMs = 5 * 60 * 1000;
