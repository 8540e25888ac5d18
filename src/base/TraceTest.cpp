// SPDX-License-Identifier: GPL-2.0-or-later
#include "base/Trace.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace
{
// Collects trace lines for the duration of a test.
class TraceCapture
{
public:
    TraceCapture()
    {
        TraceSink::SetForwarder([this](std::string_view Line) { m_Lines.emplace_back(Line); });
    }
    ~TraceCapture() { TraceSink::SetForwarder({}); }
    std::vector<std::string> const& Lines() const { return m_Lines; }

private:
    std::vector<std::string> m_Lines;
};

struct A
{
    void B() { TRACE("this %p\n", static_cast<void*>(this)); }
};
} // namespace

TEST(Trace, PrefixHasBareFileLineAndQualifiedFunction)
{
    TraceContext const Context{"/some/dir/Module.cpp", false, 10, "void A::B(int) const"};
    EXPECT_EQ(FormatTracePrefix(Context), "Module.cpp(10): A::B: ");
    TraceContext const FullPath{"/some/dir/Module.cpp", true, 10, "void A::B(int) const"};
    EXPECT_EQ(FormatTracePrefix(FullPath), "/some/dir/Module.cpp(10): A::B: ");
}

TEST(Trace, QualifiedFunctionNameDropsReturnTypeAndParameters)
{
    EXPECT_EQ(QualifiedFunctionName("int main()"), "main");
    EXPECT_EQ(QualifiedFunctionName("static void MF::Pool<T>::Get(std::vector<int>) [with T = int]"), "MF::Pool<T>::Get");
    EXPECT_EQ(QualifiedFunctionName("std::map<int, int> Application::Run(const char*)"), "Application::Run");
    EXPECT_EQ(QualifiedFunctionName("void {anonymous}::A::B()"), "{anonymous}::A::B");
    EXPECT_EQ(QualifiedFunctionName("bool X::operator()(int) const"), "X::operator()");
}

TEST(Trace, SilentSinkWritesNothingAndLiveSinkGetsWholeLines)
{
    A Object;
    Object.B(); // silent: must not crash or write anywhere
    TraceCapture Capture;
    Object.B();
    ASSERT_EQ(Capture.Lines().size(), 1u);
    std::string const& Line = Capture.Lines()[0];
    EXPECT_TRUE(Line.starts_with("TraceTest.cpp(")) << Line;
    EXPECT_NE(Line.find("): {anonymous}::A::B: this 0x"), std::string::npos) << Line;
    EXPECT_TRUE(Line.ends_with("\n"));
}

TEST(Trace, LongMessagesAreCut)
{
    TraceCapture Capture;
    std::string const Long(3 * MaximalTraceLength, 'x');
    Trace(TraceContext{"F.cpp", false, 1, "void F()"}, "%s", Long.c_str());
    ASSERT_EQ(Capture.Lines().size(), 1u);
    EXPECT_EQ(Capture.Lines()[0], "F.cpp(1): F: " + std::string(MaximalTraceLength - 1, 'x'));
}
