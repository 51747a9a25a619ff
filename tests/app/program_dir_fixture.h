// The program directory of the launcher's unit tests: the test program's own folder,
// where its Corvio.ini names the stand-in framework library. Each test starts it afresh,
// makes it the working directory, and starts the doubles from a clean world.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "app/launcher_dialog.h"
#include "tests/app/fake_components.h"

class ProgramDirTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  // Files below the program directory; `relative` uses '/' between folders.
  void WriteFile(const std::string& relative, const std::string& content);
  std::string ReadFile(const std::string& relative);
  bool Exists(const std::string& relative);
  void Remove(const std::string& relative);
  // Copies the built stand-in (ZentLauncher.exe, RudaDever.exe) into the directory.
  void InstallStandIn(const std::string& program);
  // The arguments a stand-in recorded, waiting up to `ms` for them; empty when none came.
  bool WaitForArgs(const std::string& program, int ms, std::vector<std::string>* args);
  // True when a quit message was posted to this thread since the last call.
  bool QuitPosted();

  // A launcher object whose window was set up with the skin double.
  std::unique_ptr<LauncherDialog> MakeLauncher(bool setUp = true);

  fake::World& world() { return fake::TheWorld(); }
  fake::Dialog& skin() { return *fake::TheWorld().launcherDialog; }

  std::string dir_;         // host form
  std::string windowsDir_;  // as ModuleDirectory gives it
 private:
  std::string previous_;
};

// What the system's message box was shown while it lived: standard error on Linux (the
// platform writes every box there), the boxes themselves on Windows, each closed at once.
class StartFailureCapture {
 public:
  StartFailureCapture();
  ~StartFailureCapture();
  StartFailureCapture(const StartFailureCapture&) = delete;
  StartFailureCapture& operator=(const StartFailureCapture&) = delete;
  // Ends the capture (once) and gives what was shown.
  std::string Text();

 private:
  bool ended_ = false;
  std::string text_;
};

// A district list line: the XML sealed into an envelope, as hexadecimal text.
std::string SealList(const std::string& xml);
// One "D" element with the given children ("name", "type", ...).
std::string DistrictXml(const std::string& name, int type, const std::string& url,
                        const std::string& extra = "");
