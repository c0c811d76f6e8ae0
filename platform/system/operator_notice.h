// Problems the operator must hear of that no caller can report: a service log that cannot be
// written (the action it records stands), a damaged hive set aside. The program installs a teller
// (a message box in the GUI, standard error in plenwise-cli); without one, notices go to standard
// error. The state lives here, once per process, although every module compiles the service log
// in.
#pragma once

#include <functional>
#include <string>

#include "platform/export.h"

namespace sys {

enum class Notice {
    // Told once per session: the first reason stands for the rest.
    ServiceLogUnwritable,
    // Told each time a hive is set aside.
    HiveSetAside,
};

using NoticeTeller = std::function<void(Notice, const std::string& text)>;

// Installs the teller (an empty one restores standard error).
PLENWISE_API void SetNoticeTeller(NoticeTeller teller);
// Tells the operator `text`, unless a notice of a kind told once was told already.
PLENWISE_API void TellOperator(Notice notice, const std::string& text);
// How many notices of the kind arose in this session, told or not.
PLENWISE_API int NoticeCount(Notice notice);
// Forgets the session's notices (tests start a new session).
PLENWISE_API void ResetNotices();

}  // namespace sys
