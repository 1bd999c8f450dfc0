// GlobalObj.h -- the registry of global objects.
//
// Global singletons (the events pool, the buffers pool, the pool of queued
// event lists) derive from CGlobalObjectBase. Constructing one registers it
// with the collector, which is created by the first registration; it needs
// no construction of its own, so registering from a static initialiser is
// safe whatever the order of the translation units.
//
// The program's main calls QdGlobalObjectsStart() before the user interface
// is created and QdGlobalObjectsEnd() after it has finished. The collector
// notifies the objects in the reverse order of their construction (new items
// go to the front of its list): the start phase calls Initialise on all of
// them, then Start on all; the end phase calls Stop on all, then Exit on all,
// and then deletes the collector and its items.
//
// Single-threaded: registration and the phases run on the one thread of the
// program.
#pragma once

class CGlobalObjectBase
{
public:
    // Registers the object with the collector.
    CGlobalObjectBase();
    // Takes the object off the collector's list if it is still on it, so that
    // an object living shorter than the program leaves no dangling item.
    virtual ~CGlobalObjectBase();

    CGlobalObjectBase(const CGlobalObjectBase&) = delete;
    CGlobalObjectBase& operator=(const CGlobalObjectBase&) = delete;

    // The four notifications, in the order of the phases. Each returns 0 when
    // it succeeded; the defaults do nothing.
    virtual int Initialise();
    virtual int Start();
    virtual int Stop();
    virtual int Exit();
};

// One entry of the collector's list.
struct CGlobalObjItem
{
    CGlobalObjectBase* m_poObject;
    CGlobalObjItem* m_poNext;
};

class CGlobalObjectCollector
{
public:
    // CGlobalObjectCollector::Register -- puts poObject at the front of the
    // list; creates the collector on the first call.
    static void Register(CGlobalObjectBase* poObject);

    // CGlobalObjectCollector::Unregister -- removes poObject from the list; the
    // collector goes away with its last item.
    static void Unregister(CGlobalObjectBase* poObject);

    // CGlobalObjectCollector::StartPhase -- Initialise on all, then Start on
    // all. True when every notification returned 0.
    static bool StartPhase();

    // CGlobalObjectCollector::EndPhase -- Stop on all, then Exit on all, then
    // deletes the collector and its items. True when every notification
    // returned 0.
    static bool EndPhase();

    // CGlobalObjectCollector::GetCount -- number of registered objects (0 when
    // there is no collector).
    static int GetCount();

private:
    CGlobalObjectCollector();
    ~CGlobalObjectCollector();

    // Calls one notification on every item in list order; true when all
    // returned 0.
    bool NotifyAll(int (CGlobalObjectBase::*pfnNotify)());

    CGlobalObjItem* m_poItems;

    // Zero-initialised before any static constructor runs.
    static CGlobalObjectCollector* s_poCollector;
};

// QdGlobalObjectsStart -- the program's start phase (see above).
bool QdGlobalObjectsStart();

// QdGlobalObjectsEnd -- the program's end phase (see above); the pools check
// here that every record and buffer they handed out has come back.
bool QdGlobalObjectsEnd();
