#include "runtime/failure_report.h"

namespace kardum {

std::string FormatFailureReport(std::string_view class_name, std::string_view module,
                                std::uint32_t offset, std::string_view message) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string address(8, '0');
  for (int i = 7; i >= 0; --i, offset >>= 4) address[i] = kHex[offset & 0xF];

  std::string text = "Exception ";
  text.append(class_name).append(" in module ").append(module);
  text.append(" at ").append(address).append(".\n").append(message);
  if (!message.empty() && message.back() != '.') text += '.';
  if (text.size() > kMaxReportLength) text.resize(kMaxReportLength);
  return text;
}

std::string_view FileNameOf(std::string_view path) {
  const auto slash = path.find_last_of("\\/:");
  return slash == std::string_view::npos ? path : path.substr(slash + 1);
}

int ShowFailureReport(Platform& os, const Exception& failure) {
  const auto raised = reinterpret_cast<std::uintptr_t>(failure.Address());
  const auto base = os.ImageBase();
  // A failure that did not come from the program's own code has no address.
  const auto offset = static_cast<std::uint32_t>(raised >= base ? raised - base : 0);
  const std::string module_path = os.ModulePath();
  os.ShowMessageBox(
      FormatFailureReport(failure.ClassName(), FileNameOf(module_path), offset, failure.Message()),
      "Application Error", kFailureReportStyle);
  return 1;
}

}  // namespace kardum
