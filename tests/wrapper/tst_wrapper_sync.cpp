// The wrapper's Ravuz Uzuvuv worker: holding, replacing and cancelling it.

#include "TWrapperFixture.h"

#include <QMetaMethod>
#include <QPointer>

#include <condition_variable>
#include <chrono>
#include <memory>
#include <mutex>
#include <vector>

namespace {

// A worker that records its stop requests; when `blocking`, it runs until asked to stop
// (bounded, so a broken test cannot hang).
class TRecordingWorker : public TSyncWorker {
public:
    // `stops` outlives the worker, for workers the wrapper deletes.
    explicit TRecordingWorker(bool blocking = false,
                              std::shared_ptr<std::vector<long>> stops = std::make_shared<std::vector<long>>())
        : m_blocking(blocking)
        , m_codes(std::move(stops))
    {
    }

    void terminateSync(long code) override
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_codes->push_back(code);
        m_stop = true;
        m_changed.notify_all();
    }

    std::vector<long> codes() const
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        return *m_codes;
    }

    // Waits until run() has started.
    bool waitStarted()
    {
        std::unique_lock<std::mutex> lock(m_mutex);
        return m_changed.wait_for(lock, std::chrono::seconds(30), [this] { return m_started; });
    }

protected:
    void run() override
    {
        std::unique_lock<std::mutex> lock(m_mutex);
        m_started = true;
        m_changed.notify_all();
        if (m_blocking)
            m_changed.wait_for(lock, std::chrono::seconds(30), [this] { return m_stop; });
    }

private:
    const bool m_blocking;
    mutable std::mutex m_mutex;
    std::condition_variable m_changed;
    std::shared_ptr<std::vector<long>> m_codes;
    bool m_started = false;
    bool m_stop = false;
};

} // namespace

TEST_F(TWrapperTest, CancelWithoutWorkerDoesNothing)
{
    CKAVWrapper* wrapper = makeWrapper(describe(TestBundles::bundlePath("Probe"), TestBundles::kProbe));
    wrapper->cancelSynchronization();
    EXPECT_EQ(wrapper->syncThread(), nullptr);
}

TEST_F(TWrapperTest, CancelAsksTheWorkerToStopWithTheCancelCode)
{
    CKAVWrapper* wrapper = makeWrapper(describe(TestBundles::bundlePath("Probe"), TestBundles::kProbe));
    auto* worker = new TRecordingWorker;
    wrapper->associate(worker);
    EXPECT_EQ(wrapper->syncThread(), worker);

    // As a slot, the way the progress rows' cancel buttons reach it.
    ASSERT_TRUE(QMetaObject::invokeMethod(wrapper, "cancelSynchronization"));
    EXPECT_EQ(worker->codes(), std::vector<long>({1223}));
    wrapper->associate(nullptr);
}

TEST_F(TWrapperTest, AssociateDeletesTheFinishedWorkerItReplaces)
{
    CKAVWrapper* wrapper = makeWrapper(describe(TestBundles::bundlePath("Probe"), TestBundles::kProbe));
    TTraceRecorder recorder;

    QPointer<TRecordingWorker> first = new TRecordingWorker;
    first->start();
    ASSERT_TRUE(first->wait(QDeadlineTimer(30000)));
    wrapper->associate(first);

    auto* second = new TRecordingWorker;
    wrapper->associate(second);
    EXPECT_TRUE(first.isNull());
    EXPECT_EQ(wrapper->syncThread(), second);

    QPointer<TRecordingWorker> watched = second;
    wrapper->associate(nullptr);
    EXPECT_TRUE(watched.isNull());
    EXPECT_EQ(wrapper->syncThread(), nullptr);
    EXPECT_TRUE(recorder.warnings().isEmpty()) << recorder.warnings().join('\n').toStdString();
}

TEST_F(TWrapperTest, AssociateWarnsAboutARunningWorkerAndStopsItBeforeDeleting)
{
    CKAVWrapper* wrapper = makeWrapper(describe(TestBundles::bundlePath("Probe"), TestBundles::kProbe));
    TTraceRecorder recorder;

    auto stops = std::make_shared<std::vector<long>>();
    QPointer<TRecordingWorker> running = new TRecordingWorker(true, stops);
    wrapper->associate(running);
    running->start();
    ASSERT_TRUE(running->waitStarted());

    // Deleting a running thread would abort the program; the wrapper stops it first.
    wrapper->associate(nullptr);
    EXPECT_TRUE(running.isNull());
    EXPECT_EQ(*stops, std::vector<long>({1223}));
    ASSERT_EQ(recorder.warnings().size(), 1);
    EXPECT_TRUE(recorder.warnings().first().startsWith("ASSERT: \"m_syncThread->finished()\" in CKAVWrapper ("))
        << recorder.warnings().first().toStdString();
}

TEST_F(TWrapperTest, WrapperDeclaresItsSlots)
{
    const QMetaObject* meta = &CKAVWrapper::staticMetaObject;
    QStringList names;
    for (int i = meta->methodOffset(); i < meta->methodCount(); ++i)
        if (meta->method(i).methodType() == QMetaMethod::Slot)
            names.append(QString::fromLatin1(meta->method(i).methodSignature()));
    EXPECT_EQ(names, QStringList({"cancelSynchronization()", "propPageShow()", "propPageShowByMenu()"}));
}
