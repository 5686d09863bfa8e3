// Runs the built `tavero` binary: its output is what scripts rely on.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace {

struct Result {
  std::string out;
  int status = -1;
};

std::string Quote(const std::string& arg) {
  std::string q = "'";
  for (char c : arg) q += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return q + "'";
}

// Runs the tool; `redirect` says what becomes of its streams (by default
// standard output is read and standard error dropped).
Result RunTool(const std::vector<std::string>& args, const char* redirect = " 2>/dev/null") {
  std::string command = Quote(TAVERO_TOOL_PATH);
  for (const std::string& a : args) command += " " + Quote(a);
  command += redirect;
  Result r;
  FILE* pipe = popen(command.c_str(), "r");
  if (pipe == nullptr) return r;
  char buffer[512];
  std::size_t n;
  while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) r.out.append(buffer, n);
  const int status = pclose(pipe);
  r.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return r;
}

std::string Out(const std::vector<std::string>& args) {
  const Result r = RunTool(args);
  EXPECT_EQ(r.status, 0) << args[0];
  return r.out;
}

TEST(ToolDecimal, PrintsExactResults) {
  EXPECT_EQ(Out({"decimal", "1/3"}), "0.3333333333333333333333333333333\n");
  EXPECT_EQ(Out({"decimal", "1 / 3", "--store", "4,2"}), "0.33\n");
  EXPECT_EQ(Out({"decimal", "2/3", "--store", "4,2"}), "0.67\n");
  EXPECT_EQ(Out({"decimal", "12.345", "--store", "3,2"}), "12.35\n");
  EXPECT_EQ(Out({"decimal", "-12.345", "--store", "3,2"}), "-12.35\n");
  EXPECT_EQ(Out({"decimal", "123456", "--store", "4,3"}), "3456.000\n");
  EXPECT_EQ(Out({"decimal", "-0.001", "--store", "3,2"}), "0.00\n");
  EXPECT_EQ(Out({"decimal", "-7", "--store", "2,0"}), "-7\n");
  EXPECT_EQ(Out({"decimal", "10/0"}), "0\n");
  EXPECT_EQ(Out({"decimal", "0.00000000000000001*0.00000000000000001"}), "0\n");
  EXPECT_EQ(Out({"decimal", "2+3*4-(1-2)*-2"}), "12\n");
  EXPECT_EQ(Out({"decimal", "8-2-1"}), "5\n");
  EXPECT_EQ(Out({"decimal", "--", "-(0.50)"}), "-0.5\n");
  EXPECT_EQ(Out({"decimal", "100.10"}), "100.1\n");
}

TEST(ToolDecimal, MalformedExpressionExitsTwo) {
  for (const char* bad : {"", "1+", "(1", "1.", ".5", "1 2", "1+x", "2**3"}) {
    const Result r = RunTool({"decimal", bad});
    EXPECT_EQ(r.status, 2) << bad;
    EXPECT_EQ(r.out, "") << bad;
  }
  EXPECT_EQ(RunTool({"decimal", std::string(300, '(') + "1" + std::string(300, ')')}).status, 2);
  EXPECT_EQ(RunTool({"decimal", "1", "--store", "0,0"}).status, 2);
  EXPECT_EQ(RunTool({"decimal", "1", "--store", "2,4"}).status, 2);
}

TEST(ToolFormat, ExamplesComeOutExactly) {
  EXPECT_EQ(Out({"format", "5", "@N3"}), "  5\n");
  EXPECT_EQ(Out({"format", "5", "N_3"}), "  5\n");
  EXPECT_EQ(Out({"format", "42", "@N06"}), "000042\n");
  EXPECT_EQ(Out({"format", "12345", "@N6"}), "12,345\n");
  EXPECT_EQ(Out({"format", "123456", "@N6"}), "123456\n");
  EXPECT_EQ(Out({"format", "1234567", "@N6"}), "######\n");
  EXPECT_EQ(Out({"format", "--", "-1234.5", "@n-10.2"}), " -1,234.50\n");
  EXPECT_EQ(Out({"format", "0", "@n-10.2"}), "      0.00\n");
  EXPECT_EQ(Out({"format", "0", "@N10.2B"}), "          \n");
  EXPECT_EQ(Out({"format", "0.125", "@N4.2"}), "0.13\n");
  EXPECT_EQ(Out({"format", "71230", "@D1"}), " 1/05/96\n");
  EXPECT_EQ(Out({"format", "71230", "@D4"}), "January  5, 1996     \n");
  EXPECT_EQ(Out({"format", "71230", "@D18"}), "January 05, 1996  \n");
  EXPECT_EQ(Out({"format", "71230", "@D3-"}), "JAN  5-1996\n");
  EXPECT_EQ(Out({"format", "71230", "@D7-"}), " 5-JAN-96\n");
  EXPECT_EQ(Out({"format", "0", "@D1"}), "  /  /  \n");
  EXPECT_EQ(Out({"format", "0", "@D1B"}), "        \n");
  EXPECT_EQ(Out({"format", "4710901", "@T6"}), " 1:05:09PM\n");
  EXPECT_EQ(Out({"format", "180001", "@T3"}), "12:30AM\n");
  EXPECT_EQ(Out({"format", "4320001", "@T3"}), "12:00PM\n");
  EXPECT_EQ(Out({"format", "1.5e3", "@N8.1"}), " 1,500.0\n");
  EXPECT_EQ(Out({"format", "--string", "ABCDEF", "@s4"}), "ABCD\n");
  EXPECT_EQ(Out({"format", "--string", "AB", "@S4"}), "AB  \n");
  EXPECT_EQ(Out({"format", "5", "@X9"}), "\n");  // invalid picture: empty text
  EXPECT_EQ(RunTool({"format", "abc", "@N3"}).status, 2);
  EXPECT_EQ(RunTool({"format", "5"}).status, 2);
}

TEST(ToolDeformat, ExamplesComeOutExactly) {
  EXPECT_EQ(Out({"deformat", "1/5/96", "@D1"}), "71230\n");
  EXPECT_EQ(Out({"deformat", " -1,234.50", "@n-10.2"}), "-1234.50\n");
  EXPECT_EQ(Out({"deformat", " 1:05PM", "T3"}), "4710001\n");
  EXPECT_EQ(Out({"deformat", "25:00", "@T1"}), "-1\n");
  EXPECT_EQ(Out({"deformat", "$1,234.50", ""}), "1234.50\n");
  EXPECT_EQ(Out({"deformat", "Ab-cd", "@K^_-??K"}), "Abcd\n");
}

TEST(ToolHelp, EveryCommandDescribesItself) {
  EXPECT_NE(Out({"--help"}).find("decimal"), std::string::npos);
  for (const char* command : {"decimal", "format", "deformat"}) {
    EXPECT_NE(Out({command, "--help"}).find(std::string("usage: tavero ") + command), std::string::npos);
  }
}

TEST(ToolEval, PrintsEachClassAsItsOwnForm) {
  EXPECT_EQ(Out({"eval", "1 = 1.0"}), "1\n");
  EXPECT_EQ(Out({"eval", "INT(-5 / 2)"}), "-2\n");
  EXPECT_EQ(Out({"eval", "5 / 2"}), "2.5\n");
  EXPECT_EQ(Out({"eval", "1 / 3"}), "0.333333333333333\n");
  EXPECT_EQ(Out({"eval", "'ab' & '  '"}), "ab  \n");  // trailing blanks kept
  EXPECT_EQ(Out({"eval", "BSHIFT(1, 31)"}), "-2147483648\n");
}

TEST(ToolEval, ExpressionsThatDoNotCompileExitOne) {
  const Result syntax = RunTool({"eval", "1 +"}, " 2>&1 >/dev/null");
  EXPECT_EQ(syntax.status, 1);
  EXPECT_EQ(syntax.out, "error 800: Invalid expression for EVALUATE\n");
  const Result unbound = RunTool({"eval", "CAR:SET_NO = 1"}, " 2>&1 >/dev/null");
  EXPECT_EQ(unbound.status, 1);
  EXPECT_EQ(unbound.out, "error 801: No BIND on variable\n");
  EXPECT_EQ(RunTool({"eval", "1 +"}).out, "");  // nothing on standard output
}

}  // namespace

// The icons in app/icons are what `tavero image icons` draws, and `tavero
// image info` reads them back; a file that is no picture is reported.
TEST(ToolImage, IconsAreRedrawnAsCommittedAndReadBack) {
  char pattern[] = "/tmp/tavero-icons-XXXXXX";
  ASSERT_NE(mkdtemp(pattern), nullptr);
  const std::string dir = pattern;
  ASSERT_EQ(RunTool({"image", "icons", dir}).status, 0);
  const auto read = [](const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  };
  std::vector<std::string> files;
  std::string expected;
  for (const std::string name : {"Sports My Computer.ico", "star1.ico", "star2.ico", "star3.ico"}) {
    const std::string drawn = read(dir + "/" + name);
    EXPECT_FALSE(drawn.empty()) << name;
    EXPECT_EQ(drawn, read(std::string(TAVERO_SOURCE_DIR) + "/app/icons/" + name)) << name << " differs from app/icons";
    files.push_back(dir + "/" + name);
    expected += dir + "/" + name + "\tICO 32x32\n";
  }
  std::vector<std::string> info = {"image", "info"};
  info.insert(info.end(), files.begin(), files.end());
  EXPECT_EQ(Out(info), expected);
  std::ofstream(dir + "/notes.txt") << "not a picture";
  const Result bad = RunTool({"image", "info", dir + "/notes.txt"});
  EXPECT_EQ(bad.status, 1);
  EXPECT_EQ(bad.out, dir + "/notes.txt\terror: the leading bytes name no known picture format\n");
  std::filesystem::remove_all(dir);
}
