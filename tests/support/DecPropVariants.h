// DecPropVariants.h -- compact decoders that use the hooks of CDecProp, for
// the decoder's tests and its fuzz target alike. Header only: the fuzz
// target includes it without the test sources or GoogleTest.
#pragma once

#include "Kernel/RTEvents/CEvent.h"
#include "Kernel/RTEvents/LinkedEv.h"
#include "Kernel/SeqBase/CDecProp.h"

// CReadingDecProp -- reads the body of private records through instead of
// skipping it.
class CReadingDecProp : public CDecProp
{
public:
    using CDecProp::CDecProp;

protected:
    bool AcceptPrivateRecord() override { return true; }
};

// CFilteringDecProp -- extracts through the filter and drops one kind of
// event of every class: control changes, text meta events (type 1) and
// system exclusive events of two bytes or less.
class CFilteringDecProp : public CDecProp
{
public:
    using CDecProp::CDecProp;

protected:
    TDELTA OnExtractEvents(CLinkedEvent*& rpoList) override { return OnExtractEventsWithFilter(rpoList); }
    bool AcceptChnEvent(const CEvent& rkoEvent) override { return rkoEvent.GetCode() != EVSC_CTRL_CHANGE; }
    bool AcceptMetaEvent(const CEvent& rkoEvent) override { return rkoEvent.GetMetaType() != 0x01; }
    bool AcceptSysExEvent(const CEvent& rkoEvent) override { return rkoEvent.GetSysExLength() > 2; }
};
