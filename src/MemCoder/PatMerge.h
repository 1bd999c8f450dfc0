// PatMerge.h -- mixing decoded patterns into one event stream, and splitting
// one decoded stream into patterns again.
//
// CPropPattMerge (chord-variation export): several track inputs, each a
// decoder whose channel messages all go out on one MIDI channel, and an
// optional meta input that ends at a given tick, are written to one encoder
// in tick order. Inputs whose next lists lie at the same tick are taken in
// the order they were added. The end-of-track events of the inputs are
// dropped; the merged stream gets one end-of-track, at the tick of the last
// list taken (the latest end among the inputs), and the encoder is closed.
//
// CPropPattUnmerge (import): one decoded stream is read up to a maximum
// tick; each channel message goes, as a copy, to the output pattern of its
// channel (or all of them to the one all-channels output), meta events to
// the meta output. Every output ends with an end-of-track and its encoder is
// closed, whatever stops the run:
//   the stream's end-of-track      at its tick;
//   the maximum tick               at the maximum tick, when a list lies
//                                  beyond it (a list at the maximum tick is
//                                  still taken);
//   a stream without end-of-track  at the tick of its last list;
//   a decoder error                at the tick of the list the decoder
//                                  failed on (the tick the stream reached);
//                                  events it delivered with the failure are
//                                  kept.
// Notes still sounding there are closed at that tick before the end-of-track
// (ShutNotes), so that no note keeps the placeholder duration 0 of its
// note-on and none lasts beyond the pattern's end.
//
// The merge ends the same way at a decoder error: lists written so far stay,
// the end-of-track falls at the tick of the list the decoder failed on.
//
// Decoders and encoders are the caller's; every list taken from a decoder is
// freed here exactly once, and so are the copies made for the outputs.
#pragma once

#include "Base/QdTypes.h"

#include <memory>
#include <utility>
#include <vector>

class CDecBase;
class CEncoderBase;
class CEvent;
class CLinkedEvent;

// Number of MIDI channels, and the channel byte that stands for "all
// channels" (an un-merge output) or "no channel of its own" (the meta input
// of a merge, the meta output of an un-merge).
inline constexpr BYTE PM_NR_CHANNELS = 16;
inline constexpr BYTE PM_ALL_CHANNELS = 255;

// CFilterOut -- decides which channel messages an un-merge drops.
class CFilterOut
{
public:
    virtual ~CFilterOut();
    // IsFilteredOut -- true drops rkoEvent, which occurs at tTick.
    virtual bool IsFilteredOut(const CEvent& rkoEvent, TTICK tTick) = 0;
};

class CPropPattMerge
{
public:
    // CPropPattMerge::CPropPattMerge -- merges into roEncoder, which must be
    // open ("roEncoder.IsOpen()") and stays the caller's.
    explicit CPropPattMerge(CEncoderBase& roEncoder);
    ~CPropPattMerge();
    CPropPattMerge(const CPropPattMerge&) = delete;
    CPropPattMerge& operator=(const CPropPattMerge&) = delete;

    // CPropPattMerge::AddTrackInput -- rewinds roDecoder; its channel
    // messages go out on byChannel (below 16). False, with a report, for a
    // channel beyond 15: the input is not taken.
    bool AddTrackInput(CDecBase& roDecoder, BYTE byChannel);
    // CPropPattMerge::AddMetaInput -- rewinds roDecoder; its lists go out
    // unchanged up to tEndTick: the first list at or beyond it, and all after
    // it, are not taken.
    void AddMetaInput(CDecBase& roDecoder, TTICK tEndTick);

    // CPropPattMerge::Merge -- writes every input in tick order, then the
    // end-of-track, and closes the encoder. False when the encoder was not
    // open, a decoder failed or a group could not be written; whatever was
    // written is ended and closed all the same. Run once.
    bool Merge();

private:
    struct CMergeInput
    {
        CDecBase* m_poDecoder;
        // 0-15 for a track input, PM_ALL_CHANNELS for the meta input.
        BYTE m_byChannel;
        // Lists at or beyond it are not taken.
        TTICK m_tEndTick;
        // The decoder failed at its rewind: the merge ends where this input
        // stands (tick 0).
        bool m_bFailed;
    };

    // Rewinds the decoder and puts the input behind every input whose next
    // list lies at the same tick or earlier.
    void AddInput(CDecBase& roDecoder, BYTE byChannel, TTICK tEndTick);
    void InsertInput(TTICK tTick, const CMergeInput& rkoInput);
    // Gives a track input's channel lists its channel, and drops the
    // end-of-track and what follows from meta lists; null when nothing is
    // left of the list.
    CLinkedEvent* PrepareList(const CMergeInput& rkoInput, CLinkedEvent* poList);

    CEncoderBase* m_poEncoder;
    // Inputs by the tick of their next list, the earliest first; an input
    // goes behind those of an equal tick, which keeps equal ticks in the
    // order of insertion. A merge has few inputs (a chord variation's tracks
    // and its meta), so a vector kept in order costs less than a tree.
    std::vector<std::pair<TTICK, CMergeInput>> m_aoInputs;
};

// CPropPatt -- one output pattern of an un-merge.
class CPropPatt
{
public:
    // roEncoder: open, not owned. byChannel: the channel its channel
    // messages are given (16 or more leaves them alone). bTrack: a channel
    // output (set) or the meta output (clear).
    CPropPatt(CEncoderBase& roEncoder, BYTE byChannel, bool bTrack);

    // CPropPatt::PutEvents -- one list at tTick, which no earlier list
    // exceeds. A meta list holding an end-of-track (nothing may follow it)
    // ends the pattern: the meta output writes the list, a channel output
    // only the end-of-track (SetEnd). Other meta lists go to the meta output
    // only, system exclusive lists nowhere; channel lists are given the
    // output's channel (in place) and written. Ignored once the encoder is
    // closed.
    void PutEvents(TTICK tTick, CLinkedEvent* poList);
    // CPropPatt::SetEnd -- a channel output first closes its sounding notes
    // at tTick; then the end-of-track at tTick, and the encoder is closed.
    void SetEnd(TTICK tTick);

    bool IsOpen() const;

private:
    // Writes the list at tTick - m_tLastTick.
    void Write(TTICK tTick, const CLinkedEvent* poList);

    CEncoderBase* m_poEncoder;
    BYTE m_byChannel;
    bool m_bTrack;
    // Tick of the last list written.
    TTICK m_tLastTick;
};

class CPropPattUnmerge
{
public:
    // CPropPattUnmerge::CPropPattUnmerge -- reads roDecoder; poFilter, when
    // given, is asked about every channel message of the lists taken,
    // before the output of its channel is looked up (so also about messages
    // of channels without an output, which go nowhere whatever it says; the
    // all-channels output takes whole lists unfiltered). Both stay the
    // caller's.
    explicit CPropPattUnmerge(CDecBase& roDecoder, CFilterOut* poFilter = nullptr);
    // Deletes the output patterns, not their encoders.
    ~CPropPattUnmerge();
    CPropPattUnmerge(const CPropPattUnmerge&) = delete;
    CPropPattUnmerge& operator=(const CPropPattUnmerge&) = delete;

    // CPropPattUnmerge::AddOutput -- the output pattern of input channel
    // byTrackIn, or of all channels with PM_ALL_CHANNELS (only as the first
    // and then the only output). Its channel messages get channel 0. False,
    // with a report, when refused: an encoder not open ("roEncoder.IsOpen()"),
    // any output after an all-channels one ("!m_bAllTracksIn"), an
    // all-channels output after another ("!m_bAnyTrack"), a channel taken
    // ("m_apoPPatt[byTrackIn] == 0") or beyond 15 ("byTrackIn < 16").
    bool AddOutput(CEncoderBase& roEncoder, BYTE byTrackIn);
    // CPropPattUnmerge::SetMetaOutput -- the pattern of the meta events; once
    // ("m_poMetaPatt == 0"), with an open encoder. False when refused.
    bool SetMetaOutput(CEncoderBase& roEncoder);

    // CPropPattUnmerge::Unmerge -- rewinds the decoder, drops the first
    // iSkipNrEvents events of the stream (counted over its lists; a list
    // partly skipped keeps its remainder), routes the rest up to tMaxTick and
    // ends every output (see the head of this file). Returns the length in
    // ticks: the tick where the run stopped. Reports an un-merge without
    // channel output ("m_bAnyTrack") and a stream of fewer events than are
    // to be skipped ("iNrEvents >= iSkipNrEvents"). Run once.
    TTICK Unmerge(int iSkipNrEvents, TTICK tMaxTick);
    // CPropPattUnmerge::IsCut -- the run stopped at the maximum tick with a
    // list beyond it: the decoder's next ExtractEvents hands out that list.
    bool IsCut() const { return m_bCut; }

private:
    // Routes one list (the un-merge still owns it).
    void Route(TTICK tTick, CLinkedEvent* poList);
    // Each channel message, when the filter keeps it, as a copy to the
    // output of its channel; one list per channel output.
    void RouteChnEvents(TTICK tTick, const CLinkedEvent* poList);
    // Ends every output that is still open at tTick.
    void EndAll(TTICK tTick);

    bool m_bAllTracksIn;
    bool m_bAnyTrack;
    bool m_bCut;
    CDecBase* m_poDecoder;
    CFilterOut* m_poFilter;
    std::unique_ptr<CPropPatt> m_apoPPatt[PM_NR_CHANNELS];
    std::unique_ptr<CPropPatt> m_poMetaPatt;
};
