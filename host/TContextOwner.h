#pragma once
// What the host context object needs from the window that owns the Workspace. The main
// window implements it; the context object never sees the application's classes.
//
// Every call may come from any thread that reaches the context object (components calling
// back), so an implementation guards its wrapper list with its own lock.

#include <QList>
#include <QString>

struct IUnknown;
struct IMPEventFilter;
class CKAVWrapper;

class TContextOwner
{
public:
    // The wrapper of `component` (the IUnknown the component was connected with or gave as
    // the user of a port usage), or null when the Workspace has no such component.
    virtual CKAVWrapper* wrapperObject(IUnknown* component) = 0;

    // The user-visible component name of the wrapper of `component`; false (and `name`
    // untouched) when there is no such wrapper. One call, so the wrapper cannot go away
    // between finding it and reading its name.
    virtual bool wrapperComponentName(IUnknown* component, QString& name) = 0;

    // The event filters of all wrappers, in Workspace order; wrappers without a filter are
    // left out. Not counted: valid while the wrappers live (GUI thread).
    virtual QList<IMPEventFilter*> wrapperEventFilters() = 0;

    // Forgets every port usage `component` advised (called when its wrapper is destroyed);
    // the owner passes it on to the host context object's advisePortFree.
    virtual void advisePortFree(IUnknown* component) = 0;

protected:
    ~TContextOwner() = default;
};
