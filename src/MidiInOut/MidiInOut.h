// MidiInOut.h -- Standard MIDI Files as whole byte blocks in memory.
//
// CMidiIn reads a file that the caller has loaded whole: Open checks the
// header and sets up the track decoder, over the file's track (format 0) or
// over its tracks merged into one (format 1, SmfMerge.h). CMidiOut is the format-0 encoder
// writing into a memory block that grows as needed; after Close the caller
// takes the block over. Reading and writing the disk file is the caller's
// business.
#pragma once

#include "Kernel/SeqBase/CDecSMF0.h"
#include "Kernel/SeqBase/CEncSMF0.h"
#include "MidiInOut/SmfMerge.h"
#include "Wrap/Kernel/Stream/Stream.h"

#include <memory>
#include <vector>

class CMidiIn : public CMemIn
{
public:
    // Header bytes read by Open: the 14-byte header chunk and, at 8 + its
    // declared length, the 8-byte track header.
    static constexpr DWORD SMF_HEADER_CHUNK_SIZE = 14;
    static constexpr DWORD SMF_CHUNK_HEADER_SIZE = 8;

    // CMidiIn::CMidiIn -- a reader over dwSize bytes at pkbyData; the block
    // is the caller's and must outlive the reader.
    CMidiIn(const BYTE* pkbyData, DWORD dwSize);
    // Deletes the decoder (and with it the track stream), then the stream.
    ~CMidiIn() override;

    using CMemIn::Open;
    // CMidiIn::Open -- accepts "MThd" and
    //   format 0: one track, its "MTrk" chunk at 8 + the header length. The
    //     declared track length is kept within the block: a track that
    //     claims more than the file holds is decoded from what is there.
    //   format 1: a header of 6 bytes or more and one track or more; the
    //     "MTrk" chunks after the header, other chunks passed over, as many
    //     as declared or as the block holds (one at least), each kept within
    //     the block, merged into one track (SmfMergeTracks) that the reader
    //     owns.
    // Then creates the track decoder with the file's division over the
    // track, or over the merged track. With pkoMap, channel messages are
    // mapped on the way (a format-0 file's track then goes through the
    // merge too); without it a format-0 file is decoded from the block
    // itself. Call once; false (nothing created) for a header that is not
    // accepted. SmfScanFile (SmfScan.h) tells what is wrong with a file.
    bool Open(const CSmfChannelMap* pkoMap = nullptr);

    // CMidiIn::GetDecoder -- the track decoder after a successful Open, else null.
    CDecSMF0* GetDecoder() const { return m_poDecoder.get(); }

private:
    // The track chunks of a format-1 file, in file order.
    std::vector<CSmfChunk> FindTracks(WORD wDeclared, DWORD dwHeaderLength) const;
    // Creates the decoder over a track; false when it cannot take the track.
    bool StartDecoder(WORD wDivision, const BYTE* pkbyTrack, DWORD dwLength);

    // The caller's block (CMemIn reads it too; the track stream of a
    // format-0 file without a map is a view into it).
    const BYTE* m_pkbyBlock;
    // The merged track the decoder reads otherwise.
    std::vector<BYTE> m_abyMerged;
    std::unique_ptr<CDecSMF0> m_poDecoder;
};

class CMidiOut : public CEncoderSMF0
{
public:
    // CMidiOut::CMidiOut -- creates the memory stream and opens the encoder,
    // which writes the 22 header bytes. IsOpen() is false when that failed.
    CMidiOut();
    // Deletes the memory stream (a block already taken stays the caller's)
    // and empties the pending note-offs. Close the encoder first.
    ~CMidiOut() override;

    // CMidiOut::GetOutputSize -- bytes written so far; 0 once the block is taken.
    DWORD GetOutputSize() const;

    // CMidiOut::TakeOutput -- hands the written file to the caller: the
    // block and, in rdwSize, the number of valid bytes in it. Only after
    // Close (the track length is filled in then); an open encoder keeps its
    // block and the result is null with size 0. Once taken, the encoder
    // holds no block any more; a second call gives null and 0.
    std::unique_ptr<BYTE[]> TakeOutput(DWORD& rdwSize);

private:
    std::unique_ptr<CMemOut> m_poMemOut;
};
