// The rotundel program run as a user runs it, from a fresh folder per test:
// its exit status and what it said on standard error.
#pragma once
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "document.h"

namespace fs = std::filesystem;

// The string as one shell word.
inline std::string quote(const std::string& s) {
    std::string q = "'";
    for (char c : s) q += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return q + "'";
}

struct Outcome {
    int status = -1;
    std::string err;
};

class CommandTest : public ::testing::Test {
  protected:
    // folderPrefix names the test's folder; command is the word after
    // "rotundel"; showStdout leaves what it prints in the test's output.
    CommandTest(std::string folderPrefix, std::string command, bool showStdout = false)
        : prefix_(std::move(folderPrefix)), command_(std::move(command)), showStdout_(showStdout) {}

    void SetUp() override {
        dir = fs::temp_directory_path() /
              (prefix_ + "-" + std::to_string(::getpid()) + "-" +
               ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::create_directories(dir);
    }
    void TearDown() override { fs::remove_all(dir); }

    // env, if any, goes before the program (VAR=value ...).
    Outcome execute(const std::string& args, const std::string& env = "") {
        fs::path errFile = dir / "stderr.txt";
        std::string cmd = env + " " + quote(ROTUNDEL_EXE) + " " + command_ + " " + args + " 2>" +
                          quote(errFile.string()) + (showStdout_ ? "" : " >/dev/null");
        int raw = std::system(cmd.c_str());
        Outcome r;
        r.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
        std::ifstream in(errFile);
        std::stringstream ss;
        ss << in.rdbuf();
        r.err = ss.str();
        return r;
    }
    // The exit status; what was said on standard error is left in err.
    int run(const std::string& args) {
        Outcome r = execute(args);
        err = r.err;
        return r.status;
    }
    // A starter document saved in the test's folder, optionally changed first.
    std::string document(const std::string& name = "a.one",
                         void (*change)(Document&) = nullptr) {
        Document doc;
        doc.newDocument();
        if (change) change(doc);
        fs::path p = dir / name;
        EXPECT_TRUE(doc.saveDocument(p.string()).ok);
        return p.string();
    }

    fs::path dir;
    std::string err;

  private:
    std::string prefix_, command_;
    bool showStdout_;
};
