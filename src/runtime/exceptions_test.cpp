#include "runtime/exceptions.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <string>
#include <typeinfo>

#include "platform/fake_platform.h"
#include "runtime/failure_report.h"

namespace kardum {
namespace {

const void* At(std::uintptr_t address) { return reinterpret_cast<const void*>(address); }

TEST(InOutErrorMessageTest, ChosenByCode) {
  const struct {
    std::uint32_t code;
    const char* message;
  } cases[] = {
      {2, "File not found"},
      {3, "Invalid filename"},
      {4, "Too many open files"},
      {5, "File access denied"},
      {100, "Read beyond end of file"},
      {101, "Disk full"},
      {106, "Invalid numeric input"},
      {0, "I/O error 0"},
      {1, "I/O error 1"},
      {32, "I/O error 32"},
      {123, "I/O error 123"},
      {4294967295u, "I/O error 4294967295"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.code);
    EXPECT_EQ(InOutErrorMessage(c.code), c.message);
    const EInOutError failure(c.code, At(0x1000));
    EXPECT_EQ(failure.Message(), c.message);
    EXPECT_EQ(failure.Code(), c.code);
  }
}

TEST(ExceptionTest, ClassNameThroughTheRootClass) {
  const Exception plain("m", At(1));
  const EInOutError in_out(2, At(2));
  const EConvertError convert("m", At(3));
  const ERegistryException registry("m", At(4));
  const struct {
    const Exception& failure;
    const char* class_name;
    const void* address;
  } cases[] = {
      {plain, "Exception", At(1)},
      {in_out, "EInOutError", At(2)},
      {convert, "EConvertError", At(3)},
      {registry, "ERegistryException", At(4)},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.class_name);
    EXPECT_STREQ(c.failure.ClassName(), c.class_name);
    EXPECT_EQ(c.failure.Address(), c.address);
  }
}

struct Caught {
  const std::type_info* type = nullptr;
  std::string class_name;
  std::string message;
  const void* address = nullptr;
};

Caught Catch(const std::function<void()>& raise) {
  Caught caught;
  try {
    raise();
    ADD_FAILURE() << "nothing was raised";
  } catch (const Exception& failure) {
    caught = {&typeid(failure), failure.ClassName(), failure.Message(), failure.Address()};
  }
  return caught;
}

TEST(RaiseTest, RaisesTheClassWithItsMessage) {
  const struct {
    const char* name;
    std::function<void()> raise;
    const std::type_info& type;
    const char* class_name;
    std::string message;
  } cases[] = {
      {"in/out", [] { RaiseInOutError(3); }, typeid(EInOutError), "EInOutError",
       "Invalid filename"},
      {"in/out other", [] { RaiseInOutError(32); }, typeid(EInOutError), "EInOutError",
       "I/O error 32"},
      {"convert", [] { RaiseConvertError("  2 "); }, typeid(EConvertError), "EConvertError",
       "'  2 ' is not a valid integer value"},
      {"convert empty", [] { RaiseConvertError(""); }, typeid(EConvertError), "EConvertError",
       "'' is not a valid integer value"},
      {"registry", [] { RaiseRegistryException("Failed to create key Software\\Trelis"); },
       typeid(ERegistryException), "ERegistryException", "Failed to create key Software\\Trelis"},
      {"plain", [] { RaiseException("Cannot find the Windows directory"); }, typeid(Exception),
       "Exception", "Cannot find the Windows directory"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const Caught caught = Catch(c.raise);
    ASSERT_NE(caught.type, nullptr);
    EXPECT_EQ(*caught.type, c.type);
    EXPECT_EQ(caught.class_name, c.class_name);
    EXPECT_EQ(caught.message, c.message);
    EXPECT_NE(caught.address, nullptr);
  }
}

TEST(RaiseTest, InOutErrorCarriesItsCode) {
  try {
    RaiseInOutError(123);
    FAIL() << "nothing was raised";
  } catch (const EInOutError& failure) {
    EXPECT_EQ(failure.Code(), 123u);
    EXPECT_EQ(failure.Message(), "I/O error 123");
  }
}

TEST(RaiseTest, AddressIsTheCallSite) {
  // Two call sites of the same helper must be told apart in the report.
  const void* first = Catch([] { RaiseInOutError(2); }).address;
  const void* second = Catch([] { RaiseInOutError(2); }).address;
  EXPECT_NE(first, second);
}

TEST(FormatFailureReportTest, NormalCase) {
  EXPECT_EQ(FormatFailureReport("EInOutError", "kardum2.exe", 0xABCD, "File not found"),
            "Exception EInOutError in module kardum2.exe at 0000ABCD.\nFile not found.");
}

TEST(FormatFailureReportTest, FullStopAddedOnlyWhenMissing) {
  const struct {
    const char* message;
    const char* second_line;
  } cases[] = {
      {"", ""},
      {"Disk full", "Disk full."},
      {"Done.", "Done."},
      {"...", "..."},
      {"a.b", "a.b."},
      {"ends in a blank. ", "ends in a blank. ."},
      {"'.' is not a valid integer value", "'.' is not a valid integer value."},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.message);
    EXPECT_EQ(FormatFailureReport("Exception", "k.exe", 0, c.message),
              std::string("Exception Exception in module k.exe at 00000000.\n") + c.second_line);
  }
}

TEST(FormatFailureReportTest, OffsetAsEightUpperCaseHexDigits) {
  const struct {
    std::uint32_t offset;
    const char* digits;
  } cases[] = {
      {0, "00000000"},          {0x1a2b, "00001A2B"},     {0xabcdef, "00ABCDEF"},
      {0x10000000, "10000000"}, {0xFFFFFFFF, "FFFFFFFF"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.digits);
    EXPECT_EQ(
        FormatFailureReport("EConvertError", "kardum2.exe", c.offset, "m"),
        std::string("Exception EConvertError in module kardum2.exe at ") + c.digits + ".\nm.");
  }
}

TEST(FormatFailureReportTest, CutToTheMaximumLength) {
  const std::string head = "Exception ERegistryException in module kardum2.exe at 00000010.\n";
  const struct {
    const char* name;
    std::string message;
    std::string expected;
  } cases[] = {
      {"long", std::string(3000, 'x'), head + std::string(1024 - head.size(), 'x')},
      {"exactly full with the full stop", std::string(1023 - head.size(), 'y'),
       head + std::string(1023 - head.size(), 'y') + "."},
      {"full stop cut off", std::string(1024 - head.size(), 'z'),
       head + std::string(1024 - head.size(), 'z')},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string text =
        FormatFailureReport("ERegistryException", "kardum2.exe", 0x10, c.message);
    EXPECT_EQ(text.size(), kMaxReportLength);
    EXPECT_EQ(text, c.expected);
  }
}

TEST(FileNameOfTest, DropsTheDirectory) {
  const struct {
    const char* path;
    const char* name;
  } cases[] = {
      {"C:\\Programas\\kardum2.exe", "kardum2.exe"},
      {"C:\\Archivos de programa\\Trelis v2.0\\kardum2.exe", "kardum2.exe"},
      {"\\\\servidor\\compartido\\kardum2.exe", "kardum2.exe"},
      {"kardum2.exe", "kardum2.exe"},
      {"", ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.path);
    EXPECT_EQ(FileNameOf(c.path), c.name);
  }
}

TEST(ShowFailureReportTest, OneBoxWithTheReport) {
  FakePlatform fake;
  const std::uintptr_t base = 0x00400000;
  fake.image_base = base;
  fake.module_path = "C:\\Archivos de programa\\Trelis\\kardum2.exe";
  const EInOutError failure(2, At(base + 0x1234));

  EXPECT_EQ(ShowFailureReport(fake, failure), 1);

  ASSERT_EQ(fake.boxes.size(), 1u);
  EXPECT_EQ(fake.boxes[0].caption, "Application Error");
  EXPECT_EQ(fake.boxes[0].style, 0x2010u);
  EXPECT_EQ(fake.boxes[0].text,
            "Exception EInOutError in module kardum2.exe at 00001234.\nFile not found.");
}

TEST(ShowFailureReportTest, ClassOfTheFailureAndModuleWithoutDirectory) {
  FakePlatform fake;
  const std::uintptr_t base = 0x10000000;
  fake.image_base = base;
  fake.module_path = "kardum2.exe";
  const ERegistryException failure("Failed to create key Software\\Trelis\\Kardum",
                                   At(base + 0xFFF0));
  const Exception& as_root = failure;

  EXPECT_EQ(ShowFailureReport(fake, as_root), 1);

  ASSERT_EQ(fake.boxes.size(), 1u);
  EXPECT_EQ(fake.boxes[0].text,
            "Exception ERegistryException in module kardum2.exe at 0000FFF0.\n"
            "Failed to create key Software\\Trelis\\Kardum.");
}

}  // namespace
}  // namespace kardum
