// NstQdIfc.h -- the bank-backed style: reading a style's chunk subtree into
// the normalized style, and writing a normalized style back as a new
// subtree.
//
// A style in the bank is the subtree of a style container (id 1). In the
// flat form that this module reads and writes, the container holds, in this
// order: the style info (id 1), the pattern container (id 2: the pattern info,
// then one pattern chunk per CV pattern, id = pattern type + 2), and one
// container per present style element (id 3: element info, track
// parameters, one chord variation data chunk per present chord variation).
// The element and chord-variation chunks carry no numbers: the presence
// masks of the style info and of each element info number them. The pattern
// chunks are used strictly in chunk order, one per CV pattern, across the
// whole style. The records themselves are in QdRecords.h and MarkerAlg.h.
//
// Reading never writes to the block and never uses an index beyond the
// model's limits, whatever the block holds; each damage found is reported
// (source NlzdStyle/NstQdIfc) and the reader goes on as far as it safely can.
// Writing tidies the model (empty and surplus parts go) and builds the new
// subtree in a buffer of its own, which it hands to the caller together with
// a navigator on it (CNstBankData).
#pragma once

#include "ChunkNav/ChunkNav.h"
#include "NlzdStyle/NlzdStyle.h"
#include "NlzdStyle/QdRecords.h"

#include <memory>

class CMemEncoder;

// Room beyond the meta pattern's length for a chord variation's event data.
inline constexpr DWORD QDI_CV_EVENTS_SPARE = 80;
// Writer's buffer: allowance per written chord variation, per written track,
// and the spare room left for the steps that follow (marker making).
inline constexpr DWORD QDI_SIZE_PER_CV = 100;
inline constexpr DWORD QDI_SIZE_PER_TRACK = 2;
inline constexpr DWORD QDI_SIZE_SPARE = 50000;

// ---------------------------------------------------------------------------
// CNstBankData -- a style written in flat form: the buffer that holds the
// subtree, its capacity, and a navigator on it whose current chunk is the
// style container.
//
// The object owns the buffer and the navigator; the navigator is destroyed
// before the buffer. The room behind the subtree (capacity - used size) is
// the reserve in which the save steps edit the subtree in place through the
// navigator. TakeBuffer ends the navigator's life and hands the buffer out,
// for the caller to store the first GetUsedSize() bytes.
// ---------------------------------------------------------------------------
class CNstBankData
{
public:
    // CNstBankData::CNstBankData -- takes the buffer of dwCapacity bytes, on
    // which a subtree already lies, and opens a navigator on it.
    CNstBankData(std::unique_ptr<BYTE[]> pbyBuffer, DWORD dwCapacity);
    CNstBankData(const CNstBankData&) = delete;
    CNstBankData& operator=(const CNstBankData&) = delete;

    // The navigator on the subtree; null after TakeBuffer.
    CChunkNav* GetNav() const { return m_poNav.get(); }
    // The buffer; null after TakeBuffer.
    const BYTE* GetData() const { return m_pbyBuffer.get(); }
    DWORD GetCapacity() const { return m_dwCapacity; }
    // CNstBankData::GetUsedSize -- bytes of the subtree (0 after TakeBuffer).
    DWORD GetUsedSize() const;

    // CNstBankData::TakeBuffer -- releases the navigator and hands out the
    // buffer; rdwUsedSize receives the subtree's size. The object is empty
    // afterwards.
    std::unique_ptr<BYTE[]> TakeBuffer(DWORD& rdwUsedSize);

private:
    // Declared before the navigator, so that it is destroyed after it.
    std::unique_ptr<BYTE[]> m_pbyBuffer;
    DWORD m_dwCapacity;
    std::unique_ptr<CChunkNav> m_poNav;
};

// ---------------------------------------------------------------------------
// CNstQdIfc -- the normalized style as the bank knows it: an empty style
// starts with the bank's defaults, new elements and patterns get the bank's
// defaults through the creation hooks, and the style is read from and
// written to a style's chunk subtree.
// ---------------------------------------------------------------------------
class CNstQdIfc : public CNstStyle
{
public:
    // CNstQdIfc::CNstQdIfc -- the empty style "New Style" (track modes 0, 0,
    // 2, 2, 2, 2, 2, 2, flags 0, 0, 0, 1, 1, 1, 1, 1, no element); then, when
    // poChunkNav is given, the style read from its current chunk, a style
    // container in flat form. The navigator is back on that chunk afterwards.
    explicit CNstQdIfc(CChunkNav* poChunkNav = nullptr);
    ~CNstQdIfc() override;

    // CNstQdIfc::WriteStyle -- tidies roStyle and writes it in flat form into
    // a new buffer. No result (null) when the buffer would exceed 2 GB or the
    // style cannot be encoded (reported); roStyle is tidied in either case.
    static std::unique_ptr<CNstBankData> WriteStyle(CNstStyle& roStyle);
    // CNstQdIfc::ChordVarLimit -- how many chord variations of the element
    // the bank keeps: NST_NR_CV in a Variation (elements 0-3), 2 in the
    // others; WriteStyle leaves out those numbered from it on.
    static BYTE ChordVarLimit(BYTE bySeNr);

    // CNstQdIfc::EncodeChordVarEvents -- a chord variation's own event data
    // into an open encoder: one start marker (3, position, 0, 0) at tick 0
    // for each position below byNrPatterns, then the kept markers of the
    // meta pattern at their ticks, up to the first list at or after the
    // chord variation's length, and the end at that length. The encoder is
    // closed. False when some event or the end did not go in (the encoder
    // never writes past its buffer).
    static bool EncodeChordVarEvents(CMemEncoder& roEncoder, const CNstChordVar& rkoChordVar, BYTE byNrPatterns);

protected:
    // The bank's defaults of new elements and patterns.
    void OnNewStyleElem(CNstStyleElem& roStyleElem, BYTE bySeNr) override;
    void OnNewPattern(CNstPattern& roPattern, BYTE byPNr) override;

    // CNstQdIfc::ReadStyle -- fills this style from the style container that
    // is the navigator's current chunk.
    void ReadStyle(CChunkNav& roChunkNav);
};
