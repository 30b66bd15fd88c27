// How reading one file ended, with its reason: one type for the search run,
// the windows and the command-line tool.
#pragma once

#include <cstdint>
#include <string>

#include "jww/archive.h"

enum class TFileKind { None, Jww, Jws };

enum class TOutcomeKind {
  Complete,        // read to the end
  Skipped,         // read to the end, some damaged entity records skipped
  Partial,         // reading stopped part-way; the names read so far are kept
  WrongSignature,  // the file does not start with its kind's signature
  NotDrawing,      // the extension is neither .jww nor .jws
  Missing,         // no such file
  NotRegular,      // a folder, FIFO, device or other non-regular file
  CannotOpen,      // the system refused to open it (SystemReason says why)
};

struct TFileOutcome {
  TOutcomeKind Kind = TOutcomeKind::Complete;
  TFileKind FileKind = TFileKind::None;  // by the extension
  int32_t SkippedRecords = 0;            // Skipped (and Partial: records skipped before)
  uint64_t Offset = 0;                   // Partial: the byte where reading stopped
  TReadPlace Place;                      // Partial: what was being read
  std::string Message;                   // Partial: the read error's own words (English)
  std::string SystemReason;              // CannotOpen, Missing, NotRegular: the system's words

  // True for Complete and Skipped: every record was walked.
  bool ReadCompletely() const {
    return Kind == TOutcomeKind::Complete || Kind == TOutcomeKind::Skipped;
  }
  // True when the user should hear of the file (anything but Complete).
  bool Noteworthy() const { return Kind != TOutcomeKind::Complete; }
  // True when the file's rows may be missing (not read completely).
  bool Failed() const { return !ReadCompletely(); }
};

// The outcome of an open that failed.
TFileOutcome OutcomeOfOpenError(TFileKind Kind, const TOpenError& Error);
// The outcome of a load that ended with false: an open error when the file
// could not be opened, else read part-way where the failure says.
TFileOutcome OutcomeOfFailedLoad(TFileKind Kind, const TReadFailure& Failure,
                                 int32_t SkippedRecords);
// What was being read, in English ("block definition 12 of 40") and in
// Japanese.
std::string DescribePlace(const TReadPlace& Place);
std::string DescribePlaceJa(const TReadPlace& Place);

// The reason in English, for the command-line tool's diagnostics, e.g.
// "read part-way: stopped at byte 1234 while reading block definition 12 of 40".
std::string DescribeOutcome(const TFileOutcome& Outcome);
// The same reason in Japanese (UTF-8), for the windows.
std::string DescribeOutcomeJa(const TFileOutcome& Outcome);
