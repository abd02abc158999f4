#pragma once
// Persisted objects and the settings file.
//
// TProjObj is an object whose persisted state is its property table (PropTable.h), saved into
// and loaded from XML elements by walking that table, with nested objects and lists of objects.
// A change of a nested object climbs through its holders to the top-level object. TBaseConfig
// keeps one top-level object in one XML file. None of this is thread-safe: it all runs on the main
// thread.

#include "common/XmlBuffer.h"
#include "persistence/PropTable.h"

#include <QByteArray>
#include <QDomDocument>
#include <QDomElement>
#include <QString>
#include <functional>
#include <memory>
#include <vector>

class TBaseObjList;

// What happened to an item of a TNotifyList.
enum class TListNotification { Added, Extracted, Deleted };

// A list of item references that tells its OnNotify handler about every item added, extracted
// or deleted, after the list's own bookkeeping. The list itself owns nothing.
class TNotifyList {
public:
    using TNotifyHandler = std::function<void(TPersistent* item, TListNotification action)>;

    TNotifyList() = default;
    TNotifyList(const TNotifyList&) = delete;
    TNotifyList& operator=(const TNotifyList&) = delete;
    // Deletes every item, the last first.
    ~TNotifyList();

    TNotifyHandler OnNotify;

    int Count() const { return static_cast<int>(FItems.size()); }
    // The item at index; null outside the list.
    TPersistent* Items(int index) const;
    int IndexOf(const TPersistent* item) const;

    int Add(TPersistent* item);
    // An index outside 0..Count is clamped to it.
    void Insert(int index, TPersistent* item);
    // Removes the item (Deleted). Does nothing outside the list.
    void Delete(int index);
    // Removes the item without deleting it (Extracted); returns it, or null when not in the list.
    TPersistent* Extract(TPersistent* item);
    // Deletes every item, the last first.
    void Clear();
    void Move(int curIndex, int newIndex);
    void Exchange(int index1, int index2);

private:
    void Notify(TPersistent* item, TListNotification action);
    std::vector<TPersistent*> FItems;
};

// The base of every persisted object.
class TProjObj : public TPersistent {
    VG_PERSISTENT(TProjObj, TPersistent)
public:
    using TChangeHandler = std::function<void(TProjObj* sender)>;

    // The owner is the TProjObj or TBaseObjList that holds this object, or none.
    explicit TProjObj(TPersistent* owner = nullptr);
    ~TProjObj() override;

    bool Modified = false;        // set by Changed and at the end of LoadFromXML
    TChangeHandler OnChange;      // called by Changed with this object
    TPersistent* Owner = nullptr; // not owning
    bool Loading = false;         // set while LoadFromXML runs: Changed does nothing then

    // Copies OnChange and every property of the source that has a property of the same name
    // here (nested objects and lists by their own Assign), then calls Changed.
    void Assign(const TPersistent& source) override;

    // Appends one child element per property of the table, in table order.
    virtual void SaveToXML(QDomElement& element) const;
    // Reads the child elements whose names are properties (letters compared without regard to
    // case) in document order; a later duplicate wins, unknown elements are skipped. Raises
    // EPersistError when a list meets an unregistered item class.
    virtual void LoadFromXML(const QDomElement& element);
    // Sets one property from its text form: numbers fall back to 0, enumerations and sets stay
    // unchanged when the text does not convert, texts are stored as they are.
    virtual void SetPropText(const QString& name, const QString& text, TPropKind kind);
    // Unless loading: sets Modified, calls OnChange and then the owner's Changed.
    virtual void Changed();
    // Asks the owning list to delete this object, which frees it.
    virtual void RemoveFromOwner();

    // The text form of a property (empty for unknown names and object properties).
    QString GetPropText(const QString& name) const;
    // The position of this object in its owning list; -1 when not held by a list.
    int IndexInOwner() const;

    // Serialises the document, checks that it parses again and writes it over the file
    // atomically. On failure: false; the existing file is untouched. `silent` off also shows
    // a message box.
    [[nodiscard]] static bool SaveDocToFile(const QDomDocument& document, const QString& fileName,
                                            bool silent);

protected:
    // For every object property of the table: an existing object gets this object as its owner;
    // an empty one whose declared class is a TProjObj or TBaseObjList gets a new instance.
    // Constructors of classes with object properties call it.
    void CreateSubObjects();
};

// An owning list of persisted objects.
class TBaseObjList : public TPersistent {
    VG_PERSISTENT(TBaseObjList, TPersistent)
public:
    // The owner is the TProjObj that holds the list, or none.
    explicit TBaseObjList(TPersistent* owner = nullptr);
    // Deletes every item, the last first, which frees them.
    ~TBaseObjList() override;

    TNotifyList List; // the items, in order
    TProjObj* Owner = nullptr;
    bool Modified = false;
    bool Loading = false;

    // Replaces the items (without a change notification for the emptying) by copies of the
    // source's items, made by their classes' virtual constructors.
    void Assign(const TPersistent& source) override;

    // One child element per item, named after the item's class.
    virtual void SaveToXML(QDomElement& element) const;
    // Empties the list, then makes one item per child element through the registry of classes.
    virtual void LoadFromXML(const QDomElement& element);
    virtual void Changed();
    // Frees an item that was deleted from the list (not one that was extracted).
    virtual void ItemNotify(TPersistent* item, TListNotification action);
    // The list owns the item from then on. Returns its index.
    virtual int Add(TProjObj* item);
    virtual void Insert(int index, TProjObj* item);
    virtual void Clear();
    virtual void Delete(int index);
    virtual void Move(int curIndex, int newIndex);
    virtual void Exchange(int index1, int index2);

    int Add(std::unique_ptr<TProjObj> item) { return Add(item.release()); }
    TProjObj* Items(int index) const;
    template <class T> T* ItemAs(int index) const { return dynamic_cast<T*>(Items(index)); }
    int Count() const { return List.Count(); }
};

// The base of a settings object kept in one XML file.
class TBaseConfig : public TProjObj {
    VG_PERSISTENT(TBaseConfig, TProjObj)
public:
    // ProjName "ProjName", ConfigFile: the program folder's "ConfigSet.xml". A concrete settings
    // class sets its own values in its constructor.
    TBaseConfig();

    bool Loaded = false; // the file was loaded successfully once
    QString ProjName;    // the root element's "project" attribute
    QString ConfigFile;  // full path of the settings file

    // Reads ConfigFile unless it was loaded already. A missing or unreadable file is ignored: the
    // values stay, Loaded stays clear. A damaged one (not XML, or not what the classes can read)
    // is treated the same, but first copied to ConfigFile + ".bad" (replacing an older copy) and
    // reported by one log line, so the user's settings can be recovered by hand.
    void Load();
    // Reads the bytes of a settings file as Load reads the file's: on success sets Loaded and
    // calls AfterLoad. False, with the reason in `problem`, for bytes that are not XML or not
    // what the classes can read; the values read before the problem stay.
    bool LoadFromData(const QByteArray& data, QString* problem = nullptr);
    // The whole object as Save writes it.
    QDomDocument SaveToDocument() const;
    // Writes the whole object to ConfigFile. Does not change Loaded or Modified.
    bool Save(bool silent) const;
    // Called after a successful Load.
    virtual void AfterLoad() {}

private:
    void KeepDamagedFile(const QString& problem) const;
};

// True when the buffer is not empty and parses as an XML document.
bool IsValidXMLStream(const QByteArray& buffer);

// The bytes of a document: UTF-16 (little-endian) with a byte-order mark, its declaration first,
// one element per line indented by two blanks, attributes by name. Text that XML cannot carry
// (control characters other than tab, line feed and carriage return) is left out.
QByteArray SerializeXMLDocument(const QDomDocument& document);
