// Strings, atomic counting and identifiers of the SDK.
#include <kav/KAVHelpers.h>
#include <kav/KAVTypes.h>

#include <QString>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

namespace {

std::u16string takeOLEString(char16_t* s, std::size_t units)
{
    std::u16string copy(s, units);
    std::free(s);
    return copy;
}

TEST(CreateOLEString, NullGivesEmptyTerminatedString)
{
    char16_t* s = CreateOLEString(static_cast<const char16_t*>(nullptr));
    ASSERT_NE(s, nullptr);
    EXPECT_EQ(s[0], u'\0');
    std::free(s);
}

TEST(CreateOLEString, CopiesUpToTerminator)
{
    const char16_t text[] = u"Mixer \u00e9";
    char16_t* s = CreateOLEString(text);
    ASSERT_NE(s, nullptr);
    EXPECT_NE(s, text);
    EXPECT_EQ(OLEStringLength(s), 7u);
    EXPECT_EQ(takeOLEString(s, 8), std::u16string(text, 8));
}

// Length comes from the string object, so an embedded 0 unit is copied and a terminator added.
TEST(CreateOLEString, StringWithEmbeddedZeroIsCopiedWhole)
{
    const std::u16string expected{u'a', u'\0', u'b', u'\0'};

    const std::u16string_view view(expected.data(), 3);
    EXPECT_EQ(takeOLEString(CreateOLEString(view), 4), expected);

    const QString qs = QString(QChar(u'a')) + QChar(u'\0') + QChar(u'b');
    ASSERT_EQ(qs.size(), 3);
    EXPECT_EQ(takeOLEString(CreateOLEString(qs), 4), expected);
    EXPECT_EQ(takeOLEString(PrivateCreateOLEString(qs), 4), expected);
}

TEST(CreateOLEString, EmptyAndNullQStringGiveTerminatorOnly)
{
    for (const QString& qs : {QString(), QStringLiteral("")}) {
        char16_t* s = CreateOLEString(qs);
        ASSERT_NE(s, nullptr);
        EXPECT_EQ(s[0], u'\0');
        std::free(s);
    }
}

TEST(InterlockedExchangeAdd, ReturnsTheNewValue)
{
    struct Case {
        std::int32_t start, add, result;
    };
    for (const Case& c : {Case{0, 1, 1}, Case{5, -1, 4}, Case{1, -1, 0}, Case{-3, 10, 7}}) {
        std::int32_t value = c.start;
        EXPECT_EQ(InterlockedExchangeAdd(&value, c.add), c.result);
        EXPECT_EQ(value, c.result);
    }
    std::uint32_t count = 1;
    EXPECT_EQ(InterlockedExchangeAdd(&count, -1), 0u);
    EXPECT_EQ(InterlockedExchangeAdd(&count, 2), 2u);
}

// Every increment must see a distinct new value; lost updates or returning the old value would
// produce duplicates or miss the final count.
TEST(InterlockedExchangeAdd, IsAtomicUnderConcurrency)
{
    constexpr int kThreads = 4;
    constexpr int kAdds = 20000;
    std::int32_t counter = 0;
    std::vector<std::vector<std::int32_t>> seen(kThreads);
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([&, t] {
            seen[t].reserve(kAdds);
            for (int i = 0; i < kAdds; ++i)
                seen[t].push_back(InterlockedExchangeAdd(&counter, 1));
        });
    }
    for (auto& thread : threads)
        thread.join();

    std::vector<std::int32_t> all;
    for (const auto& s : seen)
        all.insert(all.end(), s.begin(), s.end());
    std::sort(all.begin(), all.end());
    ASSERT_EQ(all.size(), static_cast<std::size_t>(kThreads * kAdds));
    for (std::size_t i = 0; i < all.size(); ++i)
        ASSERT_EQ(all[i], static_cast<std::int32_t>(i + 1));
    EXPECT_EQ(counter, kThreads * kAdds);
}

TEST(Identifiers, IsEqualIIDComparesAllBytes)
{
    CFUUIDBytes a = IID_IMPInitialise;
    EXPECT_TRUE(IsEqualIID(a, IID_IMPInitialise));
    for (int i : {0, 7, 15}) {
        CFUUIDBytes b = a;
        b.bytes[i] ^= 0x01;
        EXPECT_FALSE(IsEqualIID(a, b)) << "byte " << i;
    }
    EXPECT_FALSE(IsEqualIID(IID_IMPTotalRecall, IID_IMPTotalRecallEarlier));
}

TEST(Identifiers, BytesFollowTheTextOrder)
{
    const std::uint8_t expected[16] = {0x09, 0x58, 0xEC, 0xA1, 0x67, 0x09, 0x42, 0x67,
                                       0x96, 0x96, 0x33, 0xD5, 0x6F, 0xEC, 0x4F, 0x6A};
    EXPECT_TRUE(std::equal(std::begin(expected), std::end(expected), IID_IMPInitialise.bytes));
    EXPECT_EQ(NS_KAV::uuidToText(MSGID_MPPortsChanged), "9DD48DE6-9F3F-4E80-BCB5-4482A5B5240A");
}

TEST(Identifiers, ParseAcceptsCanonicalFormsOnly)
{
    struct Case {
        const char* text;
        bool ok;
    };
    const Case cases[] = {
        {"ed160025-ee78-4ba1-addf-854e883cbe39", true},
        {"{ED160025-EE78-4BA1-ADDF-854E883CBE39}", true},
        {"ED160025-EE78-4BA1-ADDF-854E883CBE3", false},
        {"ED160025EE78-4BA1-ADDF-854E883CBE39X", false},
        {"ED160025-EE78-4BA1-ADDF-854E883CBG39", false},
        {"", false},
    };
    for (const Case& c : cases) {
        CFUUIDBytes out = IID_IUnknown;
        EXPECT_EQ(NS_KAV::parseUuid(c.text, out), c.ok) << c.text;
        EXPECT_TRUE(IsEqualIID(out, c.ok ? IID_IMPQTBasedHost : IID_IUnknown)) << c.text;
    }
}

TEST(ResultCodes, FailuresAreNegative)
{
    EXPECT_EQ(E_NOTIMPL, static_cast<HRESULT>(0x80000001u));
    EXPECT_EQ(E_UNEXPECTED, static_cast<HRESULT>(0x8000FFFFu));
    for (HRESULT hr : {E_NOTIMPL, E_OUTOFMEMORY, E_INVALIDARG, E_NOINTERFACE, E_POINTER, E_ABORT,
                       E_FAIL, E_UNEXPECTED, MP_E_TIMEFORMAT, STG_E_INVALIDPOINTER})
        EXPECT_TRUE(FAILED(hr)) << hr;
    for (HRESULT hr : {S_OK, S_FALSE, MP_S_NOCONNECTIONPOINT, MP_S_CANNOTCONNECT, MP_SYNC_CANCELLED})
        EXPECT_TRUE(SUCCEEDED(hr)) << hr;
}

} // namespace
