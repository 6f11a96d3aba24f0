// Quoting file names for the command line: the quoted texts, and what a real /bin/sh makes of
// them, both as printf's argument and as a command that runs the file.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "panels/ShellQuote.h"

namespace kq::panels {
namespace {

namespace fs = std::filesystem;

// Runs /bin/sh -c command in directory (empty: here) and returns what it wrote to stdout.
std::string RunShell(const std::string& command, const std::string& directory = {}) {
    int pipeEnds[2];
    if (pipe(pipeEnds) != 0) return "<pipe failed>";
    const pid_t child = fork();
    if (child == 0) {
        dup2(pipeEnds[1], STDOUT_FILENO);
        close(pipeEnds[0]);
        close(pipeEnds[1]);
        if (!directory.empty() && chdir(directory.c_str()) != 0) _exit(126);
        execl("/bin/sh", "sh", "-c", command.c_str(), static_cast<char*>(nullptr));
        _exit(127);
    }
    close(pipeEnds[1]);
    std::string output;
    char buffer[256];
    ssize_t got = 0;
    while ((got = read(pipeEnds[0], buffer, sizeof buffer)) > 0) {
        output.append(buffer, static_cast<size_t>(got));
    }
    close(pipeEnds[0]);
    int status = 0;
    waitpid(child, &status, 0);
    return output;
}

// Names the shell would otherwise split, expand, run or take for an option.
const char* const kAwkwardNames[] = {
    "a; touch pwned", "$(x)",      "`id`",      "it's",        "say \"hi\"",
    "two  spaces",    "-rf",       "--help",    "*",           "a?b",
    "~user",          "tab\there", "new\nline", "back\\slash", "a|b&c>d<e",
    "#comment",       "{a,b}",     "$HOME",     "!bang",       "'",
    "ends with '",    "'''",       "x=1 y",     "(sub)",       "\xC3\xA9t\xC3\xA9",
};

TEST(ShellQuoteTest, QuotedTexts) {
    const struct {
        const char* word;
        const char* quoted;
    } cases[] = {
        {"plain", "plain"},
        {"file.tar.gz", "file.tar.gz"},
        {"a_b+c-d/e@f%g=h:i,j", "a_b+c-d/e@f%g=h:i,j"},
        {"", "''"},
        {"two words", "'two words'"},
        {"a; touch pwned", "'a; touch pwned'"},
        {"$(x)", "'$(x)'"},
        {"it's", "'it'\\''s'"},
        {"'", "''\\'''"},
        {"-rf", "'-rf'"},
        {"a-b", "a-b"},
        {"*", "'*'"},
        {"~", "'~'"},
        {"say \"hi\"", "'say \"hi\"'"},
    };
    for (const auto& entry : cases) {
        EXPECT_EQ(ShellQuote(entry.word), entry.quoted) << entry.word;
    }
}

TEST(ShellQuoteTest, RunCommandPrefixesTheCurrentDirectoryOnlyForLocalFiles) {
    EXPECT_EQ(ShellRunCommand("prog", true), "./prog");
    EXPECT_EQ(ShellRunCommand("prog", false), "prog");
    EXPECT_EQ(ShellRunCommand("-x", true), "./'-x'");
    EXPECT_EQ(ShellRunCommand("my prog", false), "'my prog'");
}

TEST(ShellQuoteTest, TheShellSeesExactlyTheNameAsOneWord) {
    for (const char* name : kAwkwardNames) {
        // printf repeats its format for every argument: two words would give two lines.
        const std::string output = RunShell("printf '%s|' " + ShellQuote(name));
        EXPECT_EQ(output, std::string(name) + "|") << ShellQuote(name);
    }
}

TEST(ShellQuoteTest, RunningAQuotedLocalFileRunsThatFileAndNothingElse) {
    char pattern[] = "/tmp/kq-quote-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    const std::string folder = pattern;
    for (const char* name : {"a; touch pwned", "-x $(touch pwned)", "it's `touch pwned`"}) {
        const std::string path = folder + "/" + name;
        {
            std::ofstream script(path);
            script << "#!/bin/sh\nprintf ran\n";
        }
        ASSERT_EQ(chmod(path.c_str(), 0755), 0);
        EXPECT_EQ(RunShell(ShellRunCommand(name, true), folder), "ran") << name;
        EXPECT_FALSE(fs::exists(folder + "/pwned")) << name;
        fs::remove(path);
    }
    std::error_code ignored;
    fs::remove_all(folder, ignored);
}

}  // namespace
}  // namespace kq::panels
