#include "persistence/BaseProj.h"

#include "common/Log.h"
#include "common/MsgBox.h"
#include "common/SysInfo.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStringEncoder>
#include <QXmlStreamWriter>
#include <algorithm>
#include <exception>

namespace {

const QString SaveErrorText = QStringLiteral("error occurs when save xml file.");

// Counts the nesting of LoadFromXML calls, so a class that holds lists of itself cannot be led
// into unbounded recursion by a crafted document.
int loadDepth = 0;

class TLoadDepthGuard {
public:
    TLoadDepthGuard() {
        if (loadDepth >= MaxXMLDepth)
            throw EPersistError("settings nested too deeply");
        ++loadDepth;
    }
    ~TLoadDepthGuard() { --loadDepth; }
    TLoadDepthGuard(const TLoadDepthGuard&) = delete;
    TLoadDepthGuard& operator=(const TLoadDepthGuard&) = delete;
};

// Sets a Loading flag for its life; an error that ends the load still clears it.
class TLoadingFlag {
public:
    explicit TLoadingFlag(bool& flag) : FFlag(flag) { FFlag = true; }
    ~TLoadingFlag() { FFlag = false; }
    TLoadingFlag(const TLoadingFlag&) = delete;
    TLoadingFlag& operator=(const TLoadingFlag&) = delete;

private:
    bool& FFlag;
};

bool IsPersistedClass(const TClassInfo& info) {
    return info.InheritsFrom(TProjObj::StaticClass()) ||
           info.InheritsFrom(TBaseObjList::StaticClass());
}

void CallOwnerChanged(TPersistent* owner) {
    if (auto* obj = dynamic_cast<TProjObj*>(owner))
        obj->Changed();
    else if (auto* list = dynamic_cast<TBaseObjList*>(owner))
        list->Changed();
}

QString PropTextOf(const TPersistent& obj, const TPropInfo& p) {
    switch (p.Kind) {
    case TPropKind::Integer:
    case TPropKind::Int64:
        return PropText::FromInt(p.GetOrd(obj));
    case TPropKind::Enumeration:
        return p.Enum->NameOf(p.GetOrd(obj));
    case TPropKind::Float:
        return PropText::FromFloat(p.GetFloat(obj));
    case TPropKind::String:
    case TPropKind::WideString:
        return p.GetText(obj);
    case TPropKind::Set:
        return PropText::FromSet(static_cast<quint32>(p.GetOrd(obj)), *p.Enum);
    case TPropKind::Object:
        break;
    }
    return {};
}

bool IsTextKind(TPropKind kind) {
    return kind == TPropKind::String || kind == TPropKind::WideString;
}

QString ExecutablePath() {
    if (QCoreApplication::instance())
        return QCoreApplication::applicationFilePath();
    return QFileInfo(QStringLiteral("/proc/self/exe")).canonicalFilePath();
}

// XML 1.0 carries tab, line feed, carriage return and everything from blank upwards except the
// surrogate code points and U+FFFE, U+FFFF. Lone surrogates and the rest are left out.
QString XmlCharactersOnly(const QString& text) {
    QString result;
    result.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        const char16_t u = c.unicode();
        if (c.isHighSurrogate() && i + 1 < text.size() && text.at(i + 1).isLowSurrogate()) {
            result.append(c);
            result.append(text.at(++i));
            continue;
        }
        if (c.isSurrogate() || u == 0xFFFE || u == 0xFFFF)
            continue;
        if (u < 0x20 && u != 0x09 && u != 0x0A && u != 0x0D)
            continue;
        result.append(c);
    }
    return result;
}

// Element text that a parser gives back unchanged: a text of blanks only goes into a CDATA
// section (parsers drop blank-only text between elements), a carriage return becomes a character
// reference (parsers turn line ends into line feeds).
void WriteText(QXmlStreamWriter& writer, const QString& rawText) {
    const QString text = XmlCharactersOnly(rawText);
    if (text.isEmpty())
        return;
    if (text.trimmed().isEmpty() && !text.contains(QLatin1Char('\r'))) {
        writer.writeCDATA(text);
        return;
    }
    const QStringList pieces = text.split(QLatin1Char('\r'));
    for (qsizetype i = 0; i < pieces.size(); ++i) {
        if (i > 0)
            writer.writeEntityReference(QStringLiteral("#13"));
        if (!pieces.at(i).isEmpty())
            writer.writeCharacters(pieces.at(i));
    }
}

void WriteAttributes(QXmlStreamWriter& writer, const QDomElement& element) {
    const QDomNamedNodeMap attributes = element.attributes();
    std::vector<std::pair<QString, QString>> sorted;
    for (int i = 0; i < attributes.count(); ++i) {
        const QDomAttr attr = attributes.item(i).toAttr();
        sorted.emplace_back(attr.name(), XmlCharactersOnly(attr.value()));
    }
    std::sort(sorted.begin(), sorted.end());
    for (const auto& [name, value] : sorted)
        writer.writeAttribute(name, value);
}

void WriteNode(QXmlStreamWriter& writer, const QDomNode& node) {
    switch (node.nodeType()) {
    case QDomNode::ElementNode: {
        const QDomElement element = node.toElement();
        if (!element.hasChildNodes()) {
            writer.writeEmptyElement(element.tagName());
            WriteAttributes(writer, element);
            break;
        }
        writer.writeStartElement(element.tagName());
        WriteAttributes(writer, element);
        for (QDomNode child = node.firstChild(); !child.isNull(); child = child.nextSibling())
            WriteNode(writer, child);
        writer.writeEndElement();
        break;
    }
    case QDomNode::TextNode:
        WriteText(writer, node.nodeValue());
        break;
    case QDomNode::CDATASectionNode: {
        // "]]>" cannot stand inside a section: split it between two.
        const QString data = XmlCharactersOnly(node.nodeValue());
        writer.writeCDATA(
            QString(data).replace(QStringLiteral("]]>"), QStringLiteral("]]]]><![CDATA[>")));
        break;
    }
    case QDomNode::CommentNode:
        writer.writeComment(XmlCharactersOnly(node.nodeValue()));
        break;
    case QDomNode::ProcessingInstructionNode: {
        const QDomProcessingInstruction pi = node.toProcessingInstruction();
        if (pi.target().compare(QLatin1String("xml"), Qt::CaseInsensitive) != 0)
            writer.writeProcessingInstruction(pi.target(), pi.data());
        break;
    }
    default:
        break;
    }
}

} // namespace

// ---- TNotifyList ----

TNotifyList::~TNotifyList() {
    Clear();
}

TPersistent* TNotifyList::Items(int index) const {
    if (index < 0 || index >= Count())
        return nullptr;
    return FItems[static_cast<size_t>(index)];
}

int TNotifyList::IndexOf(const TPersistent* item) const {
    const auto it = std::find(FItems.begin(), FItems.end(), item);
    return it == FItems.end() ? -1 : static_cast<int>(it - FItems.begin());
}

int TNotifyList::Add(TPersistent* item) {
    FItems.push_back(item);
    Notify(item, TListNotification::Added);
    return Count() - 1;
}

void TNotifyList::Insert(int index, TPersistent* item) {
    index = std::clamp(index, 0, Count());
    FItems.insert(FItems.begin() + index, item);
    Notify(item, TListNotification::Added);
}

void TNotifyList::Delete(int index) {
    if (index < 0 || index >= Count())
        return;
    TPersistent* item = FItems[static_cast<size_t>(index)];
    FItems.erase(FItems.begin() + index);
    Notify(item, TListNotification::Deleted);
}

TPersistent* TNotifyList::Extract(TPersistent* item) {
    const int index = IndexOf(item);
    if (index < 0)
        return nullptr;
    FItems.erase(FItems.begin() + index);
    Notify(item, TListNotification::Extracted);
    return item;
}

void TNotifyList::Clear() {
    while (!FItems.empty())
        Delete(Count() - 1);
}

void TNotifyList::Move(int curIndex, int newIndex) {
    if (curIndex == newIndex || curIndex < 0 || curIndex >= Count() || newIndex < 0 ||
        newIndex >= Count())
        return;
    TPersistent* item = FItems[static_cast<size_t>(curIndex)];
    FItems.erase(FItems.begin() + curIndex);
    FItems.insert(FItems.begin() + newIndex, item);
}

void TNotifyList::Exchange(int index1, int index2) {
    if (index1 < 0 || index1 >= Count() || index2 < 0 || index2 >= Count())
        return;
    std::swap(FItems[static_cast<size_t>(index1)], FItems[static_cast<size_t>(index2)]);
}

void TNotifyList::Notify(TPersistent* item, TListNotification action) {
    if (OnNotify)
        OnNotify(item, action);
}

// ---- TProjObj ----

TProjObj::TProjObj(TPersistent* owner) : Owner(owner) {}

// Objects that object properties refer to are held in std::unique_ptr members and freed with
// the class's members.
TProjObj::~TProjObj() = default;

void TProjObj::CreateSubObjects() {
    for (const TPropInfo& p : ClassInfo().Props) {
        if (p.Kind != TPropKind::Object)
            continue;
        if (TPersistent* existing = p.GetObject(*this)) {
            if (auto* obj = dynamic_cast<TProjObj*>(existing))
                obj->Owner = this;
            else if (auto* list = dynamic_cast<TBaseObjList*>(existing))
                list->Owner = this;
            continue;
        }
        const TClassInfo& declared = p.ObjectClass();
        if (IsPersistedClass(declared) && declared.Create)
            p.SetObject(*this, declared.Create(this));
    }
}

void TProjObj::Changed() {
    if (Loading)
        return;
    Modified = true;
    if (OnChange)
        OnChange(this);
    CallOwnerChanged(Owner);
}

void TProjObj::SaveToXML(QDomElement& element) const {
    QDomDocument document = element.ownerDocument();
    for (const TPropInfo& p : ClassInfo().Props) {
        if (p.Kind == TPropKind::Object) {
            TPersistent* value = p.GetObject(*this);
            if (auto* obj = dynamic_cast<TProjObj*>(value)) {
                QDomElement child = document.createElement(p.Name);
                element.appendChild(child);
                obj->SaveToXML(child);
            } else if (auto* list = dynamic_cast<TBaseObjList*>(value)) {
                QDomElement child = document.createElement(p.Name);
                element.appendChild(child);
                list->SaveToXML(child);
            }
            continue;
        }
        QDomElement child = document.createElement(p.Name);
        element.appendChild(child);
        const QString text = PropTextOf(*this, p);
        if (!text.isEmpty())
            child.appendChild(document.createTextNode(text));
    }
}

void TProjObj::LoadFromXML(const QDomElement& element) {
    TLoadDepthGuard depth;
    {
        TLoadingFlag loading(Loading);
        for (QDomNode node = element.firstChild(); !node.isNull(); node = node.nextSibling()) {
            if (!node.isElement())
                continue;
            const TPropInfo* p = ClassInfo().FindProp(node.nodeName());
            if (!p)
                continue;
            if (p->Kind == TPropKind::Object) {
                TPersistent* value = p->GetObject(*this);
                if (auto* obj = dynamic_cast<TProjObj*>(value))
                    obj->LoadFromXML(node.toElement());
                else if (auto* list = dynamic_cast<TBaseObjList*>(value))
                    list->LoadFromXML(node.toElement());
                continue;
            }
            SetPropText(p->Name, node.toElement().text(), p->Kind);
        }
    }
    Modified = true;
}

void TProjObj::SetPropText(const QString& name, const QString& text, TPropKind kind) {
    const TPropInfo* p = ClassInfo().FindProp(name);
    if (!p || p->Kind != kind)
        return;
    switch (kind) {
    case TPropKind::Integer: {
        int value = 0;
        PropText::ToInt32(text, value);
        p->SetOrd(*this, value);
        break;
    }
    case TPropKind::Int64: {
        qint64 value = 0;
        PropText::ToInt64(text, value);
        p->SetOrd(*this, value);
        break;
    }
    case TPropKind::Float: {
        double value = 0;
        PropText::ToFloat(text, value);
        p->SetFloat(*this, value);
        break;
    }
    case TPropKind::Enumeration: {
        const int ordinal = p->Enum->OrdinalOf(text.trimmed());
        if (ordinal >= 0)
            p->SetOrd(*this, ordinal);
        break;
    }
    case TPropKind::Set: {
        quint32 bits = 0;
        if (PropText::ToSet(text, *p->Enum, bits))
            p->SetOrd(*this, bits);
        break;
    }
    case TPropKind::String:
    case TPropKind::WideString:
        p->SetText(*this, text);
        break;
    case TPropKind::Object:
        break;
    }
}

QString TProjObj::GetPropText(const QString& name) const {
    const TPropInfo* p = ClassInfo().FindProp(name);
    return p ? PropTextOf(*this, *p) : QString();
}

void TProjObj::Assign(const TPersistent& source) {
    const auto* src = dynamic_cast<const TProjObj*>(&source);
    if (!src) {
        TPersistent::Assign(source);
        return;
    }
    if (src == this)
        return;
    OnChange = src->OnChange;
    const TClassInfo& srcClass = src->ClassInfo();
    for (const TPropInfo& p : ClassInfo().Props) {
        const TPropInfo* sp = srcClass.FindProp(p.Name);
        if (!sp)
            continue;
        if (p.Kind == TPropKind::Object) {
            TPersistent* mine = p.GetObject(*this);
            const TPersistent* theirs =
                sp->Kind == TPropKind::Object ? sp->GetObject(*src) : nullptr;
            if (mine && theirs && IsPersistedClass(mine->ClassInfo()))
                mine->Assign(*theirs);
            continue;
        }
        if (sp->Kind != p.Kind && !(IsTextKind(sp->Kind) && IsTextKind(p.Kind)))
            continue;
        switch (p.Kind) {
        case TPropKind::Integer:
        case TPropKind::Int64:
            p.SetOrd(*this, sp->GetOrd(*src));
            break;
        case TPropKind::Float:
            p.SetFloat(*this, sp->GetFloat(*src));
            break;
        case TPropKind::String:
        case TPropKind::WideString:
            p.SetText(*this, sp->GetText(*src));
            break;
        case TPropKind::Enumeration: {
            // By identifier, so two enumerated types with the same identifiers copy.
            const int ordinal = p.Enum->OrdinalOf(sp->Enum->NameOf(sp->GetOrd(*src)));
            if (ordinal >= 0)
                p.SetOrd(*this, ordinal);
            break;
        }
        case TPropKind::Set: {
            quint32 bits = 0;
            const QString text =
                PropText::FromSet(static_cast<quint32>(sp->GetOrd(*src)), *sp->Enum);
            if (PropText::ToSet(text, *p.Enum, bits))
                p.SetOrd(*this, bits);
            break;
        }
        case TPropKind::Object:
            break;
        }
    }
    Changed();
}

int TProjObj::IndexInOwner() const {
    if (const auto* list = dynamic_cast<const TBaseObjList*>(Owner))
        return list->List.IndexOf(this);
    return -1;
}

void TProjObj::RemoveFromOwner() {
    auto* list = dynamic_cast<TBaseObjList*>(Owner);
    if (!list)
        return;
    const int index = IndexInOwner();
    if (index >= 0)
        list->Delete(index); // frees this object: nothing may follow
}

bool TProjObj::SaveDocToFile(const QDomDocument& document, const QString& fileName, bool silent) {
    const QByteArray buffer = SerializeXMLDocument(document);
    if (!IsValidXMLStream(buffer)) {
        if (!silent)
            MsgBox(SaveErrorText, mbOK, miError, 1);
        return false;
    }
    // Written beside the file and renamed over it, so a crash or a full disk mid-save leaves the
    // old file whole.
    QSaveFile file(fileName);
    if (!file.open(QIODevice::WriteOnly) || file.write(buffer) != buffer.size() || !file.commit()) {
        if (!silent)
            MsgBox(SaveErrorText + QLatin1Char('\n') + QDir::toNativeSeparators(fileName) +
                       QLatin1String(": ") + file.errorString(),
                   mbOK, miError, 1);
        return false;
    }
    return true;
}

// ---- TBaseObjList ----

TBaseObjList::TBaseObjList(TPersistent* owner) : Owner(dynamic_cast<TProjObj*>(owner)) {
    List.OnNotify = [this](TPersistent* item, TListNotification action) {
        ItemNotify(item, action);
    };
}

TBaseObjList::~TBaseObjList() {
    List.Clear();
}

TProjObj* TBaseObjList::Items(int index) const {
    return static_cast<TProjObj*>(List.Items(index));
}

int TBaseObjList::Add(TProjObj* item) {
    if (!item)
        return -1;
    const int index = List.Add(item);
    item->Owner = this;
    item->Changed();
    return index;
}

void TBaseObjList::Insert(int index, TProjObj* item) {
    if (!item)
        return;
    List.Insert(index, item);
    item->Owner = this;
    item->Changed();
}

void TBaseObjList::Delete(int index) {
    if (index < 0 || index >= Count())
        return;
    List.Delete(index);
    Changed();
}

void TBaseObjList::Clear() {
    List.Clear();
    Changed();
}

void TBaseObjList::Move(int curIndex, int newIndex) {
    if (curIndex < 0 || curIndex >= Count() || newIndex < 0 || newIndex >= Count())
        return;
    List.Move(curIndex, newIndex);
    Changed();
}

void TBaseObjList::Exchange(int index1, int index2) {
    if (index1 < 0 || index1 >= Count() || index2 < 0 || index2 >= Count())
        return;
    List.Exchange(index1, index2);
    Changed();
}

void TBaseObjList::ItemNotify(TPersistent* item, TListNotification action) {
    if (action == TListNotification::Deleted)
        delete item;
}

void TBaseObjList::Changed() {
    if (Loading)
        return;
    Modified = true;
    if (Owner)
        Owner->Changed();
}

void TBaseObjList::Assign(const TPersistent& source) {
    const auto* src = dynamic_cast<const TBaseObjList*>(&source);
    if (!src) {
        TPersistent::Assign(source);
        return;
    }
    if (src == this)
        return;
    List.Clear();
    for (int i = 0; i < src->Count(); ++i) {
        const TProjObj* item = src->Items(i);
        const TClassInfo& info = item->ClassInfo();
        if (!info.Create)
            continue;
        std::unique_ptr<TPersistent> made = info.Create(this);
        auto* copy = dynamic_cast<TProjObj*>(made.get());
        if (!copy)
            continue;
        made.release();
        copy->Assign(*item);
        Add(copy);
    }
}

void TBaseObjList::SaveToXML(QDomElement& element) const {
    QDomDocument document = element.ownerDocument();
    for (int i = 0; i < Count(); ++i) {
        const TProjObj* item = Items(i);
        QDomElement child = document.createElement(item->ClassName());
        element.appendChild(child);
        item->SaveToXML(child);
    }
}

void TBaseObjList::LoadFromXML(const QDomElement& element) {
    TLoadDepthGuard depth;
    {
        TLoadingFlag loading(Loading);
        List.Clear();
        for (QDomElement child = element.firstChildElement(); !child.isNull();
             child = child.nextSiblingElement()) {
            const TClassInfo* info = FindProjClass(child.tagName());
            if (!info || !info->Create || !info->InheritsFrom(TProjObj::StaticClass()))
                throw EPersistError("class not found: " + child.tagName().toStdString());
            std::unique_ptr<TPersistent> made = info->Create(this);
            auto* item = static_cast<TProjObj*>(made.get());
            item->LoadFromXML(child);
            Add(static_cast<TProjObj*>(made.release()));
        }
    }
    Modified = true;
}

// ---- TBaseConfig ----

TBaseConfig::TBaseConfig()
    : ProjName(QStringLiteral("ProjName")),
      ConfigFile(QFileInfo(ExecutablePath()).absolutePath() + QLatin1String("/ConfigSet.xml")) {}

void TBaseConfig::Load() {
    if (Loaded)
        return;
    QFile file(ConfigFile);
    if (!QFileInfo(ConfigFile).isFile() || !file.open(QIODevice::ReadOnly))
        return;
    const QByteArray data = ReadXMLBytes(file);
    file.close();
    QString problem;
    if (!LoadFromData(data, &problem))
        KeepDamagedFile(problem);
}

bool TBaseConfig::LoadFromData(const QByteArray& data, QString* problem) {
    auto fail = [problem](const QString& text) {
        if (problem)
            *problem = text;
        return false;
    };
    QDomDocument document;
    QString parseProblem;
    if (!ParseXMLBuffer(data, document, &parseProblem))
        return fail(parseProblem);
    const QDomElement root = document.documentElement();
    if (root.isNull())
        return fail(QStringLiteral("no root element"));
    try {
        LoadFromXML(root);
    } catch (const std::exception& error) {
        // The values read before the problem stay; a later Load tries again.
        return fail(QString::fromUtf8(error.what()));
    }
    Loaded = true;
    AfterLoad();
    return true;
}

void TBaseConfig::KeepDamagedFile(const QString& problem) const {
    const QString copy = ConfigFile + QLatin1String(".bad");
    QFile::remove(copy);
    const bool kept = QFile::copy(ConfigFile, copy);
    MsgOut(kept
               ? QStringLiteral("settings file damaged (%1), defaults used; the file is kept as %2")
                     .arg(problem, copy)
               : QStringLiteral("settings file damaged (%1), defaults used; it could not be kept "
                                "as %2")
                     .arg(problem, copy));
}

QDomDocument TBaseConfig::SaveToDocument() const {
    QDomDocument document;
    document.appendChild(document.createProcessingInstruction(
        QStringLiteral("xml"), QStringLiteral("version=\"1.0\" encoding=\"UTF-16\"")));
    QDomElement root = document.createElement(QStringLiteral("Config"));
    root.setAttribute(QStringLiteral("project"), ProjName);
    root.setAttribute(QStringLiteral("version"), GetProVersion(ExecutablePath(), true));
    document.appendChild(root);
    SaveToXML(root);
    return document;
}

bool TBaseConfig::Save(bool silent) const {
    return SaveDocToFile(SaveToDocument(), ConfigFile, silent);
}

// ---- XML buffers ----

bool IsValidXMLStream(const QByteArray& buffer) {
    QDomDocument document;
    return ParseXMLBuffer(buffer, document);
}

QByteArray SerializeXMLDocument(const QDomDocument& document) {
    QString body;
    {
        QXmlStreamWriter writer(&body);
        writer.setAutoFormatting(true);
        writer.setAutoFormattingIndent(2);
        for (QDomNode node = document.firstChild(); !node.isNull(); node = node.nextSibling())
            WriteNode(writer, node);
    }
    while (body.startsWith(QLatin1Char('\n')))
        body.remove(0, 1);
    if (!body.endsWith(QLatin1Char('\n')))
        body.append(QLatin1Char('\n'));
    const QString text = QStringLiteral("<?xml version=\"1.0\" encoding=\"UTF-16\"?>\n") + body;
    QStringEncoder encoder(QStringConverter::Utf16LE, QStringConverter::Flag::WriteBom);
    return encoder.encode(text);
}
