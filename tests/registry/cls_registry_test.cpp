// clsRegistry against the registry functions: the portable store here, advapi32 under Windows.
// Every case works below the winreg tests' scratch key, HKCU\Software\PlenvaroTest\<random>.
#include "registry/cls_registry.h"
#include "registry_fixture.h"

#include <algorithm>
#include <optional>
#include <ostream>

namespace registry {
namespace {

using Names = std::vector<std::string>;
using Stored = std::optional<std::pair<DWORD, std::string>>;
constexpr auto nothing = std::nullopt;
const std::string_view GreetingCp1252("Gr\xFC\xDF"
                                      "e \x80\0",
                                      8); // "Grüße €" with its terminator

struct Raised
{
    std::int32_t number;
    std::string source;
    std::string description;
    bool operator==(const Raised&) const = default;
};

std::ostream& operator<<(std::ostream& out, const Raised& e)
{
    return out << e.number << " from \"" << e.source << "\": \"" << e.description << '"';
}

template <typename Call> Raised raised(Call&& call)
{
    try {
        call();
    } catch (const RegistryError& e) {
        return {e.number(), e.source(), e.description()};
    }
    return {0, "", "<nothing raised>"};
}

Names sorted(Names names)
{
    std::sort(names.begin(), names.end());
    return names;
}

class ClsRegistryTest : public plenvaro::winreg::test::RegistryTest
{
protected:
    void SetUp() override
    {
        RegistryTest::SetUp();
#ifdef _WIN32
        ASSERT_EQ(1252u, GetACP()) << "the A functions must use Windows-1252 (set LC_ALL=C for Wine)";
#endif
    }

    void TearDown() override
    {
        for (const std::string& name : rootValues_)
            RegDeleteValueA(HKEY_CURRENT_USER, name.c_str());
        RegistryTest::TearDown();
    }

    // The class's path to a place below the scratch key.
    std::string path(const std::string& below = "") const
    {
        return "HKCU\\" + scratchPath_ + (below.empty() ? "" : "\\" + below);
    }

    static clsRegistry at(const std::string& fullPath, bool autoCreate = true)
    {
        clsRegistry registry;
        registry.Key(fullPath);
        registry.autoCreate(autoCreate);
        return registry;
    }

    bool rawKeyExists(const std::string& below)
    {
        HKEY key = nullptr;
        return open(below.c_str(), key, KEY_READ) == ERROR_SUCCESS;
    }

    void rawSet(const std::string& below, const char* name, DWORD type, std::string_view data)
    {
        EXPECT_EQ(ERROR_SUCCESS, RegSetValueExA(create(below.c_str()), name, 0, type,
                                                reinterpret_cast<const BYTE*>(data.data()),
                                                static_cast<DWORD>(data.size())));
    }

    // The stored type and bytes, or nullopt when the value cannot be read.
    static Stored rawGet(HKEY key, const char* name)
    {
        std::string data(70000, '\0');
        DWORD type = REG_NONE;
        auto size = static_cast<DWORD>(data.size());
        if (!key || RegQueryValueExA(key, name, nullptr, &type, reinterpret_cast<BYTE*>(data.data()),
                                     &size) != ERROR_SUCCESS)
            return nothing;
        data.resize(size);
        return std::pair{type, data};
    }

    Stored rawGet(const std::string& below, const char* name)
    {
        HKEY key = nullptr;
        return open(below.c_str(), key, KEY_READ) == ERROR_SUCCESS ? rawGet(key, name) : nothing;
    }

    std::vector<std::string> rootValues_;
};

TEST_F(ClsRegistryTest, KeyIsCheckedOnAssignmentAndBeforeEveryOperation)
{
    clsRegistry fresh;
    const Raised unassigned{code::InvalidKey, "Let Key", "Ungültiger Schlüssel"};
    EXPECT_EQ("", fresh.Key());
    EXPECT_TRUE(fresh.autoCreate());
    EXPECT_FALSE(fresh.KeyExists());
    EXPECT_EQ(unassigned, raised([&] { fresh.getValue(); }));
    EXPECT_EQ(unassigned, raised([&] { fresh.setValue("x", 1); }));
    EXPECT_EQ(unassigned, raised([&] { fresh.delKey(); }));
    EXPECT_EQ(unassigned, raised([&] { fresh.regEnum(); }));

    clsRegistry registry = at(path("A"));
    EXPECT_EQ(unassigned, raised([&] { registry.Key(""); }));
    EXPECT_EQ(unassigned, raised([&] { registry.Key("\\"); }));
    EXPECT_EQ(path("A"), registry.Key());
    registry.Key(" hkcu\\x\\\\ "); // nothing trimmed or folded
    EXPECT_EQ(" hkcu\\x\\\\ ", registry.Key());
    registry.Key("\\\\");
    EXPECT_EQ("\\\\", registry.Key());

    const Raised readOnly{code::ReadOnlyProperty, "keyExists", ""};
    EXPECT_EQ(readOnly, raised([&] { registry.KeyExists(true); }));
    EXPECT_EQ(readOnly, raised([&] { registry.KeyExists(std::string("x")); }));
}

TEST_F(ClsRegistryTest, RootNamesIgnoreCaseAndAnUnknownOneIsNamedAsWritten)
{
    create("A");
    for (const char* root : {"HKCU", "hkcu", "HKEY_CURRENT_USER", "hKeY_cUrReNt_UsEr"})
        EXPECT_TRUE(at(std::string(root) + "\\" + scratchPath_ + "\\A\\").KeyExists()) << root;
    const Raised unknown{code::UnknownRoot, "getRoot", "Unbekannter Hauptschlüssel: \"hkpd\""};
    EXPECT_EQ(unknown, raised([&] { at("hkpd\\X").getValue(); }));
    EXPECT_EQ(unknown, raised([&] { at("hkpd\\X\\V").setValue("1", 1); }));
    EXPECT_EQ(unknown, raised([&] { at("hkpd\\").regEnum(); }));
    EXPECT_FALSE(at("HKPD\\X\\").KeyExists());
}

// Handlers above the registry layer know only the shared base; the log line stays the class's own.
TEST_F(ClsRegistryTest, AnErrorIsTheProgramsRaisedErrorAndLogsItsSource)
{
    try {
        at("hkpd\\X").getValue();
        FAIL() << "nothing raised";
    } catch (const plenvaro::RaisedError& e) {
        EXPECT_EQ(code::UnknownRoot, e.number());
        EXPECT_EQ("Unbekannter Hauptschlüssel: \"hkpd\"", e.description());
        EXPECT_STREQ("getRoot: Unbekannter Hauptschlüssel: \"hkpd\" (0x80040203)", e.what());
    }
    try {
        at(path("New\\V")).setValue("zz", 4);
        FAIL() << "nothing raised";
    } catch (const plenvaro::RaisedError& e) {
        EXPECT_EQ(code::TypeMismatch, e.number());
        EXPECT_STREQ("setValue: Typen unverträglich: keine Zahl \"zz\" (13)", e.what());
    }
}

TEST_F(ClsRegistryTest, GetValueGivesEachTypeAsText)
{
    const auto reads = [&](const char* name, DWORD type, std::string_view bytes, const std::string& text) {
        rawSet("K", name, type, bytes);
        EXPECT_EQ(text, at(path("K\\") + name).getValue()) << name;
    };
    reads("Dword", REG_DWORD, std::string_view("\xFF\xFF\xFF\xFF", 4), "-1");
    reads("Twelve", REG_DWORD, std::string_view("\x0C\0\0\0", 4), "12");
    reads("Short", REG_DWORD, "\xFF\xFF", "65535"); // the registry does not check sizes
    reads("Binary", REG_BINARY, "\x0A\xFF\x10", "0A FF 10");
    reads("Empty", REG_BINARY, "", "");
    reads("Text", REG_SZ, GreetingCp1252, "Grüße €");
    reads("NoTerminator", REG_SZ, "Tex", "Tex");
    reads("Nothing", REG_SZ, std::string_view("\0", 1), "");
    reads("Expand", REG_EXPAND_SZ, std::string_view("%TEMP%\\x\0", 9), "%TEMP%\\x");

    rawSet("K", "Multi", REG_MULTI_SZ, std::string_view("ab\0cd\0\0", 7));
    rawSet("K", "Qword", 11, std::string_view("\1\0\0\0\0\0\0\0", 8));
    for (const char* unreadable : {"Multi", "Qword", "Missing"})
        EXPECT_EQ((Raised{code::CannotReadValue, "getValue",
                          "Kann Schlüssel nicht lesen \"" + path("K\\") + unreadable + "\""}),
                  raised([&] { at(path("K\\") + unreadable).getValue(); }));
    EXPECT_EQ((Raised{code::InvalidKey, "getValue", "Ungültiger Schlüssel: \"HKCU\""}),
              raised([&] { at("HKCU").getValue(); }));
    EXPECT_EQ((Raised{code::CannotOpenKey, "OpenKey",
                      "Kann Schlüssel nicht öffnen \"" + path("Missing\\V") + "\", Error # 2"}),
              raised([&] { at(path("Missing\\V")).getValue(); }));
}

TEST_F(ClsRegistryTest, AKeyPathAddressesTheDefaultValue)
{
    create("K");
    EXPECT_EQ(code::CannotReadValue, raised([&] { at(path("K\\")).getValue(); }).number);
    EXPECT_TRUE(at(path("K\\")).setValue("dv", 1));
    EXPECT_EQ((Stored{{REG_SZ, std::string("dv", 3)}}), rawGet("K", ""));
    EXPECT_EQ("dv", at(path("K\\")).getValue());
}

TEST_F(ClsRegistryTest, SetValueWritesTextBytesAndNumbers)
{
    const auto writes = [&](std::int32_t type, const std::string& text, DWORD storedType,
                            std::string_view bytes) {
        EXPECT_TRUE(at(path("K\\V")).setValue(text, type)) << text;
        EXPECT_EQ((Stored{{storedType, std::string(bytes)}}), rawGet("K", "V")) << text;
    };
    writes(1, "Text", REG_SZ, std::string_view("Text\0", 5));
    writes(1, "Grüße €", REG_SZ, GreetingCp1252);
    writes(1, "", REG_SZ, std::string_view("\0", 1));
    writes(3, "0a ff 1", REG_BINARY, "\x0A\xFF\x01");
    writes(3, "  000000ff 7f  ", REG_BINARY, "\xFF\x7F");
    writes(4, "12", REG_DWORD, std::string_view("\x0C\0\0\0", 4));
    writes(4, " -2147483648 ", REG_DWORD, std::string_view("\0\0\0\x80", 4));
    writes(4, "+2147483647", REG_DWORD, std::string_view("\xFF\xFF\xFF\x7F", 4));
    writes(4, "&HFFFFFFFF", REG_DWORD, std::string_view("\xFF\xFF\xFF\xFF", 4));
    writes(4, "&h0000010", REG_DWORD, std::string_view("\x10\0\0\0", 4));
    EXPECT_EQ("16", at(path("K\\V")).getValue());

    for (const std::int32_t type : {2, 7, 0, -1}) { // only the key is made
        EXPECT_TRUE(at(path("Only" + std::to_string(type) + "\\V")).setValue("x", type));
        EXPECT_TRUE(rawKeyExists("Only" + std::to_string(type)));
        EXPECT_EQ(nothing, rawGet("Only" + std::to_string(type), "V"));
    }
}

TEST_F(ClsRegistryTest, TextThatDoesNotConvertWritesNothing)
{
    rawSet("K", "V", REG_SZ, std::string_view("keep\0", 5));
    const auto refuses = [&](std::int32_t type, std::int32_t number,
                             std::initializer_list<const char*> texts) {
        for (const char* text : texts) {
            const Raised error = raised([&] { at(path("K\\V")).setValue(text, type); });
            EXPECT_EQ(number, error.number) << text << ": " << error;
            EXPECT_EQ("setValue", error.source) << text;
            EXPECT_EQ((Stored{{REG_SZ, std::string("keep", 5)}}), rawGet("K", "V")) << text;
        }
    };
    refuses(3, code::TypeMismatch, {"0A  FF", "", "0a zz", "0x1", "0a\tff"});
    refuses(3, code::Overflow, {"8000", "FFFF", "10000"}); // negative or too long as 16-bit numbers
    refuses(3, code::BinaryTooLarge, {"100 zz"});
    refuses(4, code::TypeMismatch, {"abc", "1.5", "1,000", "", "&H"});
    refuses(4, code::Overflow, {"2147483648", "-2147483649", "&H100000000"});
    EXPECT_EQ((Raised{code::BinaryTooLarge, "setValue", "Ungültige Binärzahl (größer als 255): \"100 \""}),
              raised([&] { at(path("K\\V")).setValue(" 100 ", 3); }));
    EXPECT_EQ(code::TypeMismatch, raised([&] { at(path("New\\V")).setValue("zz", 3); }).number);
    EXPECT_TRUE(rawKeyExists("New")); // the key is made before the text is read
}

TEST_F(ClsRegistryTest, SetValueCreatesKeysOnlyWhenAllowed)
{
    EXPECT_TRUE(at(path("New1\\New2\\Name")).setValue("x", 1));
    EXPECT_TRUE(rawKeyExists("New1\\New2"));

    const Raised refused{code::KeyNotCreated, "setValue", "Schlüssel wird nicht angelegt"};
    EXPECT_EQ(refused, raised([&] { at(path("Missing\\NewValue"), false).setValue("x", 1); }));
    EXPECT_FALSE(rawKeyExists("Missing"));
    EXPECT_EQ(refused, raised([&] { at(path("New1\\NewValue"), false).setValue("x", 1); }));
    EXPECT_TRUE(at(path("New1\\New2\\Name"), false).setValue("y", 1)); // readable, so it may be replaced
    EXPECT_EQ("y", at(path("New1\\New2\\Name")).getValue());

    const std::string atRoot =
        "PlenvaroTest" + plenvaro::winreg::test::randomName(); // directly below a root: no test
    rootValues_.push_back(atRoot);
    EXPECT_TRUE(at("HKCU\\" + atRoot, false).setValue("root", 1));
    EXPECT_EQ((Stored{{REG_SZ, std::string("root", 5)}}), rawGet(HKEY_CURRENT_USER, atRoot.c_str()));

    EXPECT_EQ((Raised{code::InvalidKey, "setValue", "Ungültiger Schlüssel: \"HKCU\""}),
              raised([&] { at("HKCU").setValue("x", 1); }));
    EXPECT_FALSE(at(path("New1\\" + std::string(32766, 'n'))).setValue("x", 1)); // name too long to store
    const std::string badPath = "HKCU\\\\" + scratchPath_ + "\\V"; // a sub-path starting with "\" is refused
    EXPECT_EQ((Raised{code::CannotCreateKey, "setValue",
                      "Fehler beim Erstellen/Zugriff auf Schlüssel \"" + badPath + "\" Error #: 161"}),
              raised([&] { at(badPath).setValue("x", 1); }));
}

TEST_F(ClsRegistryTest, DelKeyDeletesKeysAndValuesAndReportsTheResult)
{
    create("A\\Sub");
    rawSet("A", "V", REG_SZ, std::string_view("x", 2));

    clsRegistry registry = at(path("A\\"));
    EXPECT_EQ(ERROR_ACCESS_DENIED, registry.delKey()); // sub-keys first
    EXPECT_EQ(path("A"), registry.Key());
    EXPECT_EQ(ERROR_SUCCESS, at(path("A\\Sub\\")).delKey());
    EXPECT_FALSE(rawKeyExists("A\\Sub"));
    EXPECT_EQ(ERROR_SUCCESS, at(path("A\\V")).delKey());
    EXPECT_EQ(nothing, rawGet("A", "V"));
    EXPECT_EQ(ERROR_FILE_NOT_FOUND, at(path("A\\V")).delKey());
    EXPECT_EQ(ERROR_FILE_NOT_FOUND, at(path("A\\Sub\\")).delKey());
    EXPECT_EQ(ERROR_FILE_NOT_FOUND, registry.delKey()); // Key lost its "\": now it names the value A
    EXPECT_EQ(ERROR_SUCCESS, at(path("A\\")).delKey());
    EXPECT_FALSE(rawKeyExists("A"));
    EXPECT_EQ(code::CannotOpenKey, raised([&] { at(path("A\\Sub\\V")).delKey(); }).number);

    const Raised invalid{code::InvalidKey, "delKey", "Ungültiger Schlüssel!"};
    for (const auto& [given, left] : std::vector<std::pair<std::string, std::string>>{
             {"HKCU\\", "HKCU"}, {"HKCU\\\\", "HKCU\\"}, {"HKCU", "HKCU"}}) {
        registry.Key(given);
        EXPECT_EQ(invalid, raised([&] { registry.delKey(); })) << given;
        EXPECT_EQ(left, registry.Key()) << given;
    }
    registry.Key("\\\\"); // would shorten to "\", which Key refuses
    EXPECT_EQ((Raised{code::InvalidKey, "Let Key", "Ungültiger Schlüssel"}),
              raised([&] { registry.delKey(); }));
    EXPECT_EQ("\\\\", registry.Key());
}

TEST_F(ClsRegistryTest, RegEnumListsSubKeysOfAKeyAndValuesOfAValuePath)
{
    create("K");
    EXPECT_EQ(Names{}, at(path("K\\")).regEnum());
    EXPECT_EQ(Names{}, at(path("K")).regEnum());

    for (const char* sub : {"Beta", "alpha",
                            "Gr\xFC\xDF"
                            "e"})
        create((std::string("K\\") + sub).c_str());
    const std::string longName(3000, 'n'); // longer than the first buffer
    for (const std::string& value : {std::string("v1"), std::string(""), std::string("\x80"), longName})
        rawSet("K", value.c_str(), REG_SZ, std::string_view("", 1));
    // Sorted: the platforms disagree on the order.
    EXPECT_EQ((Names{"Beta", "Grüße", "alpha"}), sorted(at(path("K\\")).regEnum()));
    EXPECT_EQ((Names{"", longName, "v1", "€"}), sorted(at(path("K")).regEnum()));
    EXPECT_EQ(code::CannotOpenKey, raised([&] { at(path("Missing\\")).regEnum(); }).number);
}

TEST_F(ClsRegistryTest, KeyExistsAnswersWithoutRaising)
{
    rawSet("K", "Text", REG_SZ, std::string_view("x", 2));
    rawSet("K", "Multi", REG_MULTI_SZ, std::string_view("a\0\0", 3));
    for (const std::string& existing : {path("K\\"), path("K\\Text"), std::string("HKCU\\")})
        EXPECT_TRUE(at(existing).KeyExists()) << existing;
    // K without "\" is a value of the scratch key.
    for (const std::string& missing : {path("K"), path("K\\Multi"), path("K\\Missing"), path("Missing\\"),
                                       std::string("HKPD\\Software\\"), path("K\\中")})
        EXPECT_FALSE(at(missing).KeyExists()) << missing;
}

TEST_F(ClsRegistryTest, TextOutsideWindows1252IsRefusedBeforeAnythingIsTouched)
{
    const auto refused = [](const Raised& error, const char* source) {
        EXPECT_EQ(code::InvalidArgument, error.number) << error;
        EXPECT_EQ(source, error.source);
    };
    refused(raised([&] { at(path("中\\V")).setValue("x", 1); }), "setValue");
    refused(raised([&] { at(path("New\\V")).setValue("中", 1); }), "setValue");
    refused(raised([&] { at(path(std::string("a\0b", 3))).setValue("x", 1); }), "setValue");
    EXPECT_EQ(Names{}, at(path("")).regEnum()) << "no key may be left behind";
    refused(raised([&] { at(path("V\xC3")).getValue(); }), "getValue");
    refused(raised([&] { at(path("中\\")).regEnum(); }), "regEnum");

    clsRegistry registry = at(path("中\\"));
    refused(raised([&] { registry.delKey(); }), "delKey");
    EXPECT_EQ(path("中\\"), registry.Key());
    EXPECT_TRUE(at(path("New\\V")).setValue("\xC2\x81 bleibt", 1)); // undefined bytes travel as C1 controls
    EXPECT_EQ((Stored{{REG_SZ, std::string("\x81 bleibt", 9)}}), rawGet("New", "V"));
}

#ifndef _WIN32
// The portable store keeps each root apart, so every name can be followed to its own tree.
TEST_F(ClsRegistryTest, EveryRootNameReachesItsPredefinedKey)
{
    for (const auto& [names, root] : std::vector<std::pair<std::pair<const char*, const char*>, HKEY>>{
             {{"HKCU", "HKEY_CURRENT_USER"}, HKEY_CURRENT_USER},
             {{"HKLM", "HKEY_LOCAL_MACHINE"}, HKEY_LOCAL_MACHINE},
             {{"HKU", "HKEY_USERS"}, HKEY_USERS},
             {{"HKCC", "HKEY_CURRENT_CONFIG"}, HKEY_CURRENT_CONFIG},
             {{"HKCR", "HKEY_CLASSES_ROOT"}, HKEY_CLASSES_ROOT}}) {
        EXPECT_TRUE(at(std::string(names.first) + "\\Roots\\V").setValue(names.first, 1));
        EXPECT_EQ(names.first, at(std::string(names.second) + "\\Roots\\V").getValue());
        HKEY key = nullptr;
        ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExA(root, "Roots", 0, KEY_READ, &key));
        handles_.push_back(key);
        EXPECT_EQ((Stored{{REG_SZ, std::string(names.first) + '\0'}}), rawGet(key, "V"));
    }
    // HKEY_DYN_DATA exists but keeps nothing, as on Windows NT.
    EXPECT_TRUE(at("HKDD\\").KeyExists());
    EXPECT_EQ((Raised{code::CannotCreateKey, "setValue",
                      "Fehler beim Erstellen/Zugriff auf Schlüssel \"HKEY_DYN_DATA\\X\\V\" Error #: 5"}),
              raised([&] { at("HKEY_DYN_DATA\\X\\V").setValue("x", 1); }));
}
#endif

} // namespace
} // namespace registry
