// QdDragFiles.h -- the MIDI files a node of the element tree becomes when it
// is dragged out of the window (to a file manager or a sequencer).
//
// A drag hands over files, not data: the receiving program copies or opens
// a file that must exist when the drop happens. So the file is written when
// the drag starts, into a folder of its own under the temporary directory,
// named by the node's standard name ("v1cv2.mid", a track "v1cv2-bass.mid")
// so that the copy the receiver makes carries the name the imports know.
// The folder is made on the first drag and removed with its files when the
// object goes (the window closes); a receiver that only links the file has
// what it needs while the window is open.
#pragma once

#include <string>
#include <vector>

class CQdBankDoc;
struct CQdTreeNode;

class CQdDragFiles
{
public:
    // rkstrTempDir: where the folder is made (the user's temporary directory).
    CQdDragFiles(CQdBankDoc& roDoc, std::string strTempDir);
    ~CQdDragFiles();
    CQdDragFiles(const CQdDragFiles&) = delete;
    CQdDragFiles& operator=(const CQdDragFiles&) = delete;

    // BaseNameOf -- the node's file name without extension: the standard
    // name of its chord variation, for a track with "-" and the track's
    // short name; "" for other nodes, tracks beyond the eight and chord
    // variations without a standard name.
    static std::string BaseNameOf(const CQdTreeNode& rkoNode);

    // WriteNode -- the node's MIDI file (a chord variation: all its tracks;
    // a track: that one) written into the folder; its path in rstrPath.
    // False for other nodes, or when the folder or the file could not be
    // written.
    bool WriteNode(const CQdTreeNode& rkoNode, std::string& rstrPath);
    // The folder, "" until the first file; the files written so far.
    const std::string& GetFolder() const { return m_strFolder; }
    const std::vector<std::string>& GetFiles() const { return m_astrFiles; }
    // RemoveAll -- the files and the folder go; a later drag makes a new one.
    void RemoveAll() noexcept;

private:
    CQdBankDoc& m_roDoc;
    std::string m_strTempDir;
    std::string m_strFolder;
    std::vector<std::string> m_astrFiles;
};
