// Reference counting and identity of every host service class on its own: AddRef 2,
// Release 1, Release 0 destroys; queries for IUnknown and the own interface only; the
// trace texts carry each class's own name.

#include "ClientIConnectionPoint.h"
#include "ClientIConnectionPointContainer.h"
#include "ClientIEnumConnectionPoints.h"
#include "ClientIEnumConnections.h"
#include "ClientIMPAsyncOutput.h"
#include "ClientIMPEventQueue.h"
#include "ClientIMPQTBasedHost.h"
#include "ClientIMPTimeInfo.h"
#include "ClientIStream.h"

#include <QStringList>

#include <gtest/gtest.h>

namespace {

template <class T>
T* make()
{
    if constexpr (std::is_same_v<T, ClientIEnumConnections> || std::is_same_v<T, ClientIEnumConnectionPoints>)
        return KAVNewObject<T>(nullptr, T::iid, false, nullptr);
    else
        return KAVNewObject<T>(nullptr, T::iid, false);
}

QStringList& traces()
{
    static QStringList list;
    return list;
}

void recordTrace(const char* text)
{
    traces().append(QString::fromUtf8(text));
}

template <class T>
class StandaloneCounts : public ::testing::Test
{
};

using ServiceClasses =
    ::testing::Types<ClientIConnectionPointContainer, ClientIConnectionPoint, ClientIEnumConnectionPoints,
                     ClientIEnumConnections, ClientIMPEventQueue, ClientIMPAsyncOutput, ClientIMPTimeInfo,
                     ClientIMPQTBasedHost, ClientIStream>;
TYPED_TEST_SUITE(StandaloneCounts, ServiceClasses);

TYPED_TEST(StandaloneCounts, AddRefTwoReleaseOneThenZero)
{
    TypeParam* object = make<TypeParam>();
    ASSERT_NE(object, nullptr);
    EXPECT_EQ(object->AddRef(), 2u);
    EXPECT_EQ(object->Release(), 1u);
    EXPECT_EQ(object->Release(), 0u); // destroyed; a leak or double free shows under ASan
}

TYPED_TEST(StandaloneCounts, AnswersIUnknownAndItsOwnInterfaceOnly)
{
    TypeParam* object = make<TypeParam>();
    ASSERT_NE(object, nullptr);
    for (const CFUUIDBytes& iid : {IID_IUnknown, TypeParam::iid}) {
        void* p = nullptr;
        ASSERT_EQ(object->QueryInterface(iid, &p), S_OK);
        EXPECT_EQ(p, static_cast<void*>(static_cast<IUnknown*>(object)));
        EXPECT_EQ(object->useCount(), 2u);
        static_cast<IUnknown*>(p)->Release();
    }
    for (const CFUUIDBytes& iid : {IID_IMPInitialise, IID_IPersistStream, IID_IMPClientServices}) {
        void* p = object;
        EXPECT_EQ(object->QueryInterface(iid, &p), E_NOINTERFACE);
        EXPECT_EQ(p, nullptr);
    }
    EXPECT_EQ(object->useCount(), 1u);
    object->Release();
}

TYPED_TEST(StandaloneCounts, TracesNameTheClass)
{
    traces().clear();
    const NS_KAV::TraceHook previous = NS_KAV::setTraceHook(recordTrace);
    TypeParam* object = make<TypeParam>();
    object->AddRef();
    object->Release();
    object->Release();
    NS_KAV::setTraceHook(previous);

    const QString name = QString::fromUtf8(TypeParam::kClassName);
    const QStringList expected = {
        QStringLiteral("%1::%1() Constructor called - useCount: 1").arg(name),
        QStringLiteral("%1:: AddRef() yields:2").arg(name),
        QStringLiteral("%1::Release() yields:1").arg(name),
        QStringLiteral("%1::Release() yields:0").arg(name),
    };
    EXPECT_EQ(traces(), expected);
    traces().clear();
}

} // namespace
