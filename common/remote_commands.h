// Everything the program says to a printer: the queries over the communication library and the
// remote-mode byte blocks that travel as raw jobs.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "common/printer_link.h"

using ByteBlock = std::vector<uint8_t>;

// Which ink-set table a status is read against.
enum class InkSetTable { Util, AltUtil };

// What a readiness check found, in the order the check goes: the device id could not be read (or
// no channel opened, or no status read), the printer reports another model (or none), it
// reports a code other than ready, or it is ready.
enum class PrinterState { NoAnswer, OtherModel, NotReady, Ready };

// The queries of one plug-in: its link, the queue, the channel chosen at start-up and the model
// description the printer must report (the queue's driver name).
class PrinterQueries {
  public:
    PrinterQueries(PrinterLink& link, std::string printerName, int32_t channel,
                   std::string expectedModel);

    void SetChannel(int32_t channel) { channel_ = channel; }
    int32_t Channel() const { return channel_; }
    const std::string& PrinterName() const { return printerName_; }
    const std::string& ExpectedModel() const { return expectedModel_; }

    // The printer reports the expected model and, within `rounds` status reads, the ready code
    // "04". With 3 rounds every other code is followed by a 5000 ms wait.
    bool PrinterReady(int rounds) { return ReadyState(rounds) == PrinterState::Ready; }
    // The same check, with what it found.
    PrinterState ReadyState(int rounds);
    // The ink-set value of the status's "INK:" field, or -1.
    int PrinterInkSet(InkSetTable table);
    // Paper width in whole inches from the two "PW" replies, or -1.
    int PrinterPaperWidth();
    // The 6-character firmware version: by control request on the control channel, by SNMP on
    // any other. True when a reply came; version keeps its content when no key was found.
    bool PrinterFirmwareVersion(std::array<char, 6>& version, int32_t timeoutMs);

    // How many replies the two "PW" requests may read together before the width counts as
    // unanswered: each read waits up to 3 s, so a printer that never answers, or keeps
    // answering without the key, costs at most half a minute.
    static constexpr int kMaxPaperWidthReads = 10;

  private:
    // One request's width in 1/360 inch, or -360; each read uses one of readsLeft.
    int32_t ReadPaperWidth(int32_t handle, const uint8_t* request, int32_t length, int& readsLeft);

    PrinterLink& link_;
    std::string printerName_;
    int32_t channel_;
    std::string expectedModel_;
};

// ---- Remote-mode blocks ----

ByteBlock RemoteModeHeader();
// The SNMP version-1 GetNextRequest for the firmware version (46 bytes).
ByteBlock SnmpFirmwareRequest();
ByteBlock PowerCleaningBlock();
ByteBlock FirmwarePreDownloadBlock();
// util: k1 k2 = 6D 04; altutil: k2 = 03 and k1 = 39 or 23 by bit 0 of the model class code.
ByteBlock SampleSeriesCommandBlock(bool on, bool altutil, uint32_t modelClass);

enum class HeadGapBlockKind { Test, Store };
inline constexpr int kNoPlatenGap = -1;
// util: pattern codes 250..255, six values of controls 3012, 3015..3019, platen gap 0..2.
ByteBlock UtilHeadGapBlock(HeadGapBlockKind kind, int patternCode, int platenGap,
                           const std::array<int, 6>& values);
// altutil: seven values of controls 3012, 3014, 3015, 3017, 3016, 3018, 3019, platen gap 0..3.
ByteBlock AltUtilHeadGapBlock(HeadGapBlockKind kind, int patternCode, int platenGap,
                              const std::array<int, 7>& values);
ByteBlock HeadGapLeaveBlock();
