// The input endpoints' pusher is a QThread: it signals "finished" through Qt's own
// QWaitCondition, and Debian's Qt is not built with ThreadSanitizer, so the hand-over from
// QThread::wait() to the destruction of the thread object is invisible to it. Only read by
// ThreadSanitizer builds.
extern "C" const char* __tsan_default_suppressions()
{
    return "race:QWaitCondition::~QWaitCondition\n";
}
