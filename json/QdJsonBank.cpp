// QdJsonBank.cpp -- the bank's facts, styles and check findings as JSON.
#include "QdJson.h"

#include "BankDoc/QdCharset.h"

namespace {

// Document -- the object every document starts with.
QdJson Document()
{
    QdJson oDocument = QdJson::object();
    oDocument["schema"] = QD_JSON_SCHEMA;
    oDocument["charset"] = QD_JSON_CHARSET;
    return oDocument;
}

QdJson Texts(const std::vector<std::string>& rkastrTexts)
{
    QdJson oArray = QdJson::array();
    for (const std::string& rkstrText : rkastrTexts)
        oArray.push_back(QdJsonText(rkstrText));
    return oArray;
}

QdJson Params(const CNstTrackParam& rkoParams)
{
    return QdJson{{"program", rkoParams.m_byProgram},  {"bank_msb", rkoParams.m_byBankMsb},
                  {"bank_lsb", rkoParams.m_byBankLsb}, {"expression", rkoParams.m_byExpression},
                  {"note_low", rkoParams.m_byNoteLow}, {"note_high", rkoParams.m_byNoteHigh}};
}

QdJson Track(const CQdTrackFacts& rkoTrack)
{
    return QdJson{{"track", rkoTrack.m_byTrack},         {"name", rkoTrack.m_strName},
                  {"channel", rkoTrack.m_byChannel},     {"measures", rkoTrack.m_byMeasures},
                  {"notes", rkoTrack.m_dwNotes},         {"events", rkoTrack.m_dwEvents},
                  {"params", Params(rkoTrack.m_oParams)}};
}

QdJson ChordVar(const CQdChordVarFacts& rkoChordVar)
{
    QdJson oChordVar = QdJson::object();
    oChordVar["number"] = rkoChordVar.m_byCv + 1;
    oChordVar["standard_name"] =
        rkoChordVar.m_strStandardName.empty() ? QdJson(nullptr) : QdJson(rkoChordVar.m_strStandardName);
    oChordVar["measures"] = rkoChordVar.m_byMeasures;
    QdJson& roTracks = oChordVar["tracks"] = QdJson::array();
    for (const CQdTrackFacts& rkoTrack : rkoChordVar.m_aoTracks)
        roTracks.push_back(Track(rkoTrack));
    return oChordVar;
}

QdJson Element(const CQdElementFacts& rkoElement)
{
    QdJson oElement = QdJson::object();
    oElement["name"] = rkoElement.m_strName;
    oElement["signature"] = {{"numerator", rkoElement.m_byNumerator}, {"denominator", rkoElement.m_dwDenominator}};
    oElement["measures"] = rkoElement.m_byMeasures;
    QdJson& roChordVars = oElement["chord_variations"] = QdJson::array();
    for (const CQdChordVarFacts& rkoChordVar : rkoElement.m_aoChordVars)
        roChordVars.push_back(ChordVar(rkoChordVar));
    return oElement;
}

QdJson Style(const CQdStyleFacts& rkoStyle)
{
    QdJson oStyle = QdJson::object();
    oStyle["position"] = rkoStyle.m_iPosition;
    oStyle["slot"] = rkoStyle.m_iSlot;
    oStyle["name"] = QdJsonText(rkoStyle.m_strName);
    oStyle["uncompressed_size"] = rkoStyle.m_dwSize;
    oStyle["loaded"] = rkoStyle.m_bLoaded;
    oStyle["damaged"] = rkoStyle.m_bDamaged;
    oStyle["damage"] = Texts(rkoStyle.m_astrDamage);
    QdJson& roElements = oStyle["elements"] = QdJson::array();
    for (const CQdElementFacts& rkoElement : rkoStyle.m_aoElements)
        roElements.push_back(Element(rkoElement));
    return oStyle;
}

QdJson Slot(const CQdSlotFacts& rkoSlot)
{
    QdJson oSlot = QdJson::object();
    oSlot["slot"] = rkoSlot.m_iSlot;
    oSlot["id"] = rkoSlot.m_byId;
    oSlot["style"] = rkoSlot.m_bStyle;
    oSlot["position"] = rkoSlot.m_bStyle ? QdJson(rkoSlot.m_iPosition) : QdJson(nullptr);
    oSlot["name"] = rkoSlot.m_bStyle ? QdJsonText(rkoSlot.m_strName) : QdJson(nullptr);
    oSlot["stored_size"] = rkoSlot.m_dwStoredSize;
    oSlot["compressed"] = rkoSlot.m_bCompressed;
    oSlot["size"] = rkoSlot.m_dwSize;
    return oSlot;
}

QdJson Bank(const CQdBankFacts& rkoBank)
{
    QdJson oBank = QdJson::object();
    oBank["file"] = rkoBank.m_strFile;
    oBank["file_size"] = rkoBank.m_qwFileSize;
    oBank["used_size"] = rkoBank.m_dwUsedSize;
    oBank["block_size"] = rkoBank.m_dwBlockSize;
    oBank["free_room"] = rkoBank.m_dwFreeRoom;
    oBank["styles"] = rkoBank.m_iStyles;
    const CQdDirectoryFacts& rkoDirectory = rkoBank.m_oDirectory;
    oBank["directory"] = {{"present", rkoDirectory.m_bPresent},
                          {"capacity", rkoDirectory.m_iCapacity},
                          {"entries", rkoDirectory.m_iEntries},
                          {"current", rkoDirectory.m_bCurrent}};
    const CQdNameTableFacts& rkoNames = rkoBank.m_oNameTable;
    oBank["name_table"] = {{"present", rkoNames.m_bPresent},
                           {"size", rkoNames.m_dwSize},
                           {"records", rkoNames.m_iRecords},
                           {"styles_without_record", rkoNames.m_iStylesWithout}};
    QdJson& roSlots = oBank["slots"] = QdJson::array();
    for (const CQdSlotFacts& rkoSlot : rkoBank.m_aoSlots)
        roSlots.push_back(Slot(rkoSlot));
    return oBank;
}

} // namespace

QdJson QdJsonText(const std::string& rkstrBytes)
{
    return QdJson(QdLatin1ToUtf8(rkstrBytes));
}

QdJson QdJsonList(const CQdBankFacts& rkoBank)
{
    QdJson oDocument = Document();
    oDocument["file"] = rkoBank.m_strFile;
    QdJson& roStyles = oDocument["styles"] = QdJson::array();
    for (const CQdSlotFacts& rkoSlot : rkoBank.m_aoSlots)
        if (rkoSlot.m_bStyle && rkoSlot.m_iPosition > 0)
            roStyles.push_back({{"position", rkoSlot.m_iPosition},
                                {"slot", rkoSlot.m_iSlot},
                                {"name", QdJsonText(rkoSlot.m_strName)}});
    return oDocument;
}

QdJson QdJsonInfo(const CQdBankFacts& rkoBank)
{
    QdJson oDocument = Document();
    oDocument["bank"] = Bank(rkoBank);
    return oDocument;
}

QdJson QdJsonShow(const std::string& rkstrFile, const CQdStyleFacts& rkoStyle)
{
    QdJson oDocument = Document();
    oDocument["file"] = rkstrFile;
    oDocument["style"] = Style(rkoStyle);
    return oDocument;
}

QdJson QdJsonCheck(const CQdCheckFacts& rkoCheck)
{
    QdJson oDocument = Document();
    oDocument["file"] = rkoCheck.m_strFile;
    QdJson& roStyles = oDocument["styles"] = QdJson::array();
    for (const CQdCheckedStyle& rkoStyle : rkoCheck.m_aoStyles)
    {
        QdJson oStyle = QdJson::object();
        oStyle["position"] = rkoStyle.m_iPosition;
        oStyle["name"] = QdJsonText(rkoStyle.m_strName);
        oStyle["loaded"] = rkoStyle.m_bLoaded;
        oStyle["converted"] = rkoStyle.m_bConverted;
        oStyle["chord_variations"] = rkoStyle.m_iChordVars;
        oStyle["damaged"] = rkoStyle.m_bDamaged;
        oStyle["damage"] = Texts(rkoStyle.m_astrDamage);
        roStyles.push_back(std::move(oStyle));
    }
    oDocument["damaged"] = rkoCheck.m_iDamaged;
    oDocument["problems"] = rkoCheck.m_iProblems;
    oDocument["clean"] = rkoCheck.IsClean();
    return oDocument;
}

QdJson QdJsonBankExport(const CQdBankFacts& rkoBank, const std::vector<CQdExportedStyle>& rkaoStyles)
{
    QdJson oDocument = Document();
    oDocument["bank"] = Bank(rkoBank);
    QdJson& roStyles = oDocument["styles"] = QdJson::array();
    for (const CQdExportedStyle& rkoExported : rkaoStyles)
    {
        QdJson oStyle = Style(rkoExported.m_oFacts);
        const CQdStyleFiles& rkoFiles = rkoExported.m_oFiles;
        // The folder by its own name: bank.json lies beside it.
        const std::size_t uSlash = rkoFiles.m_strFolder.find_last_of('/');
        oStyle["folder"] = rkoFiles.m_strFolder.empty()
                               ? QdJson(nullptr)
                               : QdJsonText(uSlash == std::string::npos ? rkoFiles.m_strFolder
                                                                        : rkoFiles.m_strFolder.substr(uSlash + 1));
        QdJson& roFiles = oStyle["files"] = QdJson::array();
        for (const std::string& rkstrName : rkoFiles.m_astrExported)
            roFiles.push_back(rkstrName + ".mid");
        oStyle["not_exported"] = Texts(rkoFiles.m_astrNotExported);
        roStyles.push_back(std::move(oStyle));
    }
    return oDocument;
}

// QdJsonStyleFolderNames -- parsed without exceptions: a document that is
// not JSON comes back discarded. Every value is checked for its type before
// it is read; bank.json may have been edited by hand.
bool QdJsonStyleFolderNames(const std::string& rkstrText, std::map<std::string, std::string>& raoNames,
                            std::vector<std::string>& rastrPassedOver, std::string& rstrError)
{
    const QdJson oDocument = QdJson::parse(rkstrText, nullptr, false);
    if (oDocument.is_discarded())
    {
        rstrError = "not a JSON document";
        return false;
    }
    const auto itStyles = oDocument.is_object() ? oDocument.find("styles") : oDocument.end();
    if (itStyles == oDocument.end() || !itStyles->is_array())
    {
        rstrError = "no \"styles\" list in it";
        return false;
    }
    for (const QdJson& rkoStyle : *itStyles)
    {
        if (!rkoStyle.is_object() || !rkoStyle.contains("folder") || rkoStyle["folder"].is_null())
            continue;
        const QdJson& rkoFolder = rkoStyle["folder"];
        const auto itName = rkoStyle.find("name");
        std::string strFolder;
        std::string strName;
        if (!rkoFolder.is_string() || itName == rkoStyle.end() || !itName->is_string() ||
            !QdUtf8ToLatin1(rkoFolder.get<std::string>(), strFolder) ||
            !QdUtf8ToLatin1(itName->get<std::string>(), strName))
        {
            rastrPassedOver.push_back(rkoFolder.is_string() ? rkoFolder.get<std::string>() : rkoFolder.dump());
            continue;
        }
        raoNames[strFolder] = strName;
    }
    return true;
}

// QdJsonSerialize -- the library escapes the controls below U+0020 only;
// U+007F and the C1 controls U+0080-U+009F (which a terminal may obey as
// escape sequences) are escaped here as \u007f ... \u009f. They occur only
// inside strings, where the escape means the same character.
std::string QdJsonSerialize(const QdJson& rkoDocument)
{
    const std::string strDumped = rkoDocument.dump(2, ' ', false, QdJson::error_handler_t::replace) + "\n";
    static const char s_szHex[] = "0123456789abcdef";
    std::string strText;
    strText.reserve(strDumped.size());
    for (std::size_t i = 0; i < strDumped.size(); ++i)
    {
        const unsigned char uc = static_cast<unsigned char>(strDumped[i]);
        const unsigned char ucNext = i + 1 < strDumped.size() ? static_cast<unsigned char>(strDumped[i + 1]) : 0;
        unsigned uControl = 0;
        if (uc == 0x7F)
            uControl = 0x7F;
        else if (uc == 0xC2 && ucNext >= 0x80 && ucNext <= 0x9F)
        {
            uControl = ucNext;
            ++i;
        }
        if (uControl == 0)
        {
            strText += char(uc);
            continue;
        }
        strText += "\\u00";
        strText += s_szHex[uControl >> 4];
        strText += s_szHex[uControl & 0xF];
    }
    return strText;
}
