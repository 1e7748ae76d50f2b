// The command line's options, and the notes on its path, over a temporary folder mapped as
// drive T:.
#include "app/command_line.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "support/temp_drives.h"

namespace veldan {
namespace {

// The options and paths of a command line, with what each step prints.
struct Answer {
  int code = -1;
  std::string out, err;
  std::string argument = "<none>";
};

std::string Drain(char* buffer) {
  std::string text = buffer != nullptr ? buffer : "";
  std::free(buffer);
  return text;
}

// before: the step that runs before the window system; else the one after it.
Answer RunCommandLine(std::vector<std::string> words, bool before) {
  words.insert(words.begin(), "veldan");
  std::vector<char*> argv;
  for (std::string& word : words) argv.push_back(word.data());
  argv.push_back(nullptr);
  char* out_text = nullptr;
  char* err_text = nullptr;
  std::size_t out_size = 0;
  std::size_t err_size = 0;
  std::FILE* out = open_memstream(&out_text, &out_size);
  std::FILE* err = open_memstream(&err_text, &err_size);
  Answer answer;
  const int argc = static_cast<int>(words.size());
  if (before) {
    answer.code = AnswerInformationOptions(argc, argv.data(), out, err);
  } else {
    const char* argument = nullptr;
    answer.code = ReadStartingArgument(argc, argv.data(), &argument, err);
    if (argument != nullptr) answer.argument = argument;
  }
  std::fclose(out);
  std::fclose(err);
  answer.out = Drain(out_text);
  answer.err = Drain(err_text);
  return answer;
}

TEST(CommandLineOptions, HelpAndVersionAnswerBeforeTheWindowSystem) {
  for (const char* help : {"--help", "-h"}) {
    const Answer a = RunCommandLine({"/some/folder", help}, true);
    EXPECT_EQ(a.code, 0);
    EXPECT_NE(a.out.find("Usage: "), std::string::npos) << a.out;
    EXPECT_NE(a.out.find("further paths are ignored"), std::string::npos) << a.out;
    EXPECT_EQ(a.err, "");
  }
  for (const char* version : {"--version", "-v"}) {
    const Answer a = RunCommandLine({version}, true);
    EXPECT_EQ(a.code, 0);
    EXPECT_EQ(a.out.rfind("VELDAN 1.", 0), 0u) << a.out;
    EXPECT_EQ(a.out.find('\n'), a.out.size() - 1) << a.out;
  }
  // A path, and the window system's own options, are left for later.
  for (const std::vector<std::string>& words : {std::vector<std::string>{"/some/folder"},
                                                {"-platform", "offscreen", "x.mp3"},
                                                {"-style", "fusion"},
                                                {}}) {
    const Answer a = RunCommandLine(words, true);
    EXPECT_EQ(a.code, -1);
    EXPECT_EQ(a.out + a.err, "");
  }
}

// The desktop entry's option: known to both steps, and told in the usage.
TEST(CommandLineOptions, HandOverIsAnOptionAndThePathStillCounts) {
  for (bool before : {true, false}) {
    const Answer a = RunCommandLine({"--hand-over", "/some/folder", "/other"}, before);
    EXPECT_EQ(a.code, -1);
    EXPECT_EQ(a.err.find("Unknown option"), std::string::npos) << a.err;
    if (!before) {
      EXPECT_EQ(a.argument, "/some/folder");
    }
  }
  EXPECT_NE(RunCommandLine({"--help"}, true).out.find("--hand-over"), std::string::npos);
  std::string words[] = {"veldan", "-platform", "offscreen", "--hand-over", "x"};
  char* argv[] = {words[0].data(), words[1].data(), words[2].data(), words[3].data(),
                  words[4].data(), nullptr};
  EXPECT_TRUE(HandOverRequested(5, argv));
  EXPECT_FALSE(HandOverRequested(3, argv));
  // After "--" it is a path, not the option.
  std::string as_path[] = {"veldan", "--", "--hand-over"};
  char* argv_path[] = {as_path[0].data(), as_path[1].data(), as_path[2].data(), nullptr};
  EXPECT_FALSE(HandOverRequested(3, argv_path));
}

TEST(CommandLineOptions, AnUnknownOptionPrintsTheUsageAndEndsWithTwo) {
  for (bool before : {true, false}) {
    for (const char* option : {"--bogus", "-x", "--help-all", "-hv"}) {
      const Answer a = RunCommandLine({"/some/folder", option}, before);
      EXPECT_EQ(a.code, 2) << option;
      EXPECT_EQ(a.out, "");
      EXPECT_EQ(a.err.rfind("Unknown option", 0), 0u) << a.err;
      EXPECT_NE(a.err.find("Usage: "), std::string::npos) << a.err;
    }
  }
}

TEST(CommandLinePaths, TheFirstPathDecidesAndTheOthersAreIgnored) {
  test::TempDrive tree;
  tree.WriteFile("Songs/a.mp3");
  const std::string songs = tree.root() + "/Songs";
  EXPECT_EQ(RunCommandLine({songs, tree.root() + "/gone.mp3", "/elsewhere"}, false).argument,
            songs);
  // After "--" a path may start with '-'; "-" alone is a path.
  EXPECT_EQ(RunCommandLine({"--", "-Songs"}, false).argument, "-Songs");
  EXPECT_EQ(RunCommandLine({"-"}, false).argument, "-");
  const Answer none = RunCommandLine({}, false);
  EXPECT_EQ(none.code, -1);
  EXPECT_EQ(none.argument, "<none>");
  EXPECT_EQ(none.err, "");
}

// Found as start-up finds it: host or drive-letter paths, names in any letter case; a CD drive
// without a disc is waited for, not reported.
TEST(CommandLinePaths, OnlyAPathThatNamesNothingGetsANote) {
  test::TempDrive tree('T', "M=cdrom:/nonexistent/veldan-cd");
  tree.WriteFile("Songs/b.mp3");
  tree.WriteFile("Lists/Party.m3u", "T:\\Songs\\b.mp3\r\n");
  const std::string found[] = {tree.root() + "/Songs",
                               tree.root() + "/Songs/b.mp3",
                               "T:\\Songs\\B.MP3",
                               "T:\\Lists\\party.M3U",
                               "T:\\Songs\\",
                               "T:",
                               "M:\\Music"};
  for (const std::string& path : found) {
    const Answer a = RunCommandLine({path}, false);
    EXPECT_EQ(a.code, -1);
    EXPECT_EQ(a.argument, path);
    EXPECT_EQ(a.err, "") << path;
  }
  const std::string missing[] = {tree.root() + "/Songs/c.mp3", "T:\\Nothing\\b.mp3", "Q:\\music",
                                 "relative/nowhere.m3u"};
  for (const std::string& path : missing) {
    const Answer a = RunCommandLine({path}, false);
    EXPECT_EQ(a.code, -1);
    EXPECT_EQ(a.argument, path);
    EXPECT_EQ(a.err, "veldan: " + path + ": no such file or folder\n");
  }

  // A track that exists but whose program text would not fit says so.
  const std::string deep =
      std::string(200, 'd') + "/" + std::string(200, 'e') + "/" + std::string(120, 'f') + ".mp3";
  tree.WriteFile(deep);
  const std::string too_long = tree.root() + "/" + deep;
  const Answer a = RunCommandLine({too_long}, false);
  EXPECT_EQ(a.err, "veldan: " + too_long + ": path too long\n");
  // A file that is no track, list or folder starts the program as any path does, without a note.
  tree.WriteFile("Songs/notes.txt");
  EXPECT_EQ(RunCommandLine({tree.root() + "/Songs/notes.txt"}, false).err, "");
}

}  // namespace
}  // namespace veldan
