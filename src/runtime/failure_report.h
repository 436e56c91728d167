// The failure report: the one way a run that failed tells the user.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "platform/platform.h"
#include "runtime/exceptions.h"

namespace kardum {

inline constexpr std::size_t kMaxReportLength = 1024;
inline constexpr std::uint32_t kFailureReportStyle = kMbOk | kMbIconStop | kMbTaskModal;

// "Exception <class> in module <module> at <offset>.\n<message>[.]", cut to
// 1,024 characters; the offset as 8 upper-case hex digits.
std::string FormatFailureReport(std::string_view class_name, std::string_view module,
                                std::uint32_t offset, std::string_view message);

// The file name of a path, without its directory.
std::string_view FileNameOf(std::string_view path);

// Shows the report for `failure` and returns the exit code of a failed run.
int ShowFailureReport(Platform& os, const Exception& failure);

}  // namespace kardum
