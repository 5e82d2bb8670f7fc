#include "datafile.h"

#include <gtest/gtest.h>

using namespace Qt::Literals::StringLiterals;

namespace {

struct Loaded
{
    bool ok;
    QString error;
};

Loaded load(const QByteArray& json, veldor::Database& db)
{
    QString error;
    const bool ok = veldor::loadData(json, QDate(2026, 3, 11), db, error);
    return {ok, error};
}

} // namespace

TEST(DataFile, LoadsObjectsNullsAndTodaysGlobals)
{
    veldor::Database db;
    const Loaded r =
        load(R"json({"objects": {"VD.ParPersEdv": {"1||K17": {"Passwort": "geheim", "DW": null}}},
                              "globals": {"^TOVI(1,3,1,1{today},123456)": "7'3'x"}})json",
             db);
    ASSERT_TRUE(r.ok) << qPrintable(r.error);
    veldor::ServerClass* cls = db.findClass(u"vd.parpersedv"_s);
    ASSERT_TRUE(cls);
    const auto& props = cls->objects.at(u"1||K17"_s).properties;
    EXPECT_EQ(props.at(u"PASSWORT"_s), u"geheim"_s);
    EXPECT_EQ(props.at(u"DW"_s), std::nullopt);
    EXPECT_TRUE(db.findClass(u"VD.Windows"_s)) << "the command class always exists";

    const std::string* node = db.globals().tree("TOVI").get({"1", "3", "1", "1260311", "123456"});
    ASSERT_TRUE(node) << "{today} is the date as YYMMDD";
    EXPECT_EQ(*node, "7'3'x");
}

TEST(DataFile, NamesTheLineOfASyntaxError)
{
    veldor::Database db;
    const Loaded r = load("{\n  \"objects\": {\n    \"VD.X\": {\"1\": {\"A\": \"b\",}}\n  }\n}", db);
    EXPECT_FALSE(r.ok);
    EXPECT_TRUE(r.error.startsWith(u"line 3"_s)) << qPrintable(r.error);
}

TEST(DataFile, NamesTheFieldOfAStructureError)
{
    const std::pair<QByteArray, QString> cases[] = {
        {R"json({"objects": {"VD.X": {"1": {"LAGST": 42}}}})json", uR"f(objects."VD.X"."1"."LAGST")f"_s},
        {R"json({"objects": {"VD.X": {"1": {"a": "1", "A": "2"}}}})json", uR"f(objects."VD.X"."1")f"_s},
        {R"json({"objects": {"VD.X": ["1"]}})json", uR"f(objects."VD.X")f"_s},
        {R"json({"globals": {"^TOVI(1,,2)": "x"}})json", uR"f(globals."^TOVI(1,,2)")f"_s},
        {R"json({"globals": {"TOVI(1)": "x"}})json", uR"f(globals."TOVI(1)")f"_s},
        {R"json({"globals": {"^TOVI(1)": 5}})json", uR"f(globals."^TOVI(1)")f"_s},
        {R"json({"object": {}})json", u"object"_s},
    };
    for (const auto& [json, field] : cases) {
        veldor::Database db;
        const Loaded r = load(json, db);
        EXPECT_FALSE(r.ok) << json.constData();
        EXPECT_TRUE(r.error.contains(u"field "_s + field)) << qPrintable(r.error);
    }
}

TEST(DataFile, RefusesKeysGivenTwiceInsteadOfDroppingOne)
{
    const std::pair<QByteArray, QString> cases[] = {
        {"{\"globals\": {\"^A(1)\": \"1\"},\n\"globals\": {\"^B(1)\": \"2\"}}",
         u"field globals: defined twice (again on line 2)"_s},
        {R"json({"objects": {"VD.X": {"1": {"A": "1"}}, "VD.X": {"2": {"A": "2"}}}})json",
         uR"(field objects."VD.X": defined twice)"_s},
        {R"json({"objects": {"VD.X": {"1": {"A": "1"}, "1": {"A": "2"}}}})json",
         uR"(field objects."VD.X"."1": defined twice)"_s},
        {R"json({"objects": {"VD.X": {"1": {"A": "1", "\u0041": "2"}}}})json",
         uR"(field objects."VD.X"."1"."A": defined twice)"_s},
        {R"json({"globals": {"^A(\"x\")": "1", "^A(\"x\")": "2"}})json",
         uR"f(field globals."^A("x")": defined twice)f"_s},
    };
    for (const auto& [json, message] : cases) {
        veldor::Database db;
        const Loaded r = load(json, db);
        EXPECT_FALSE(r.ok) << json.constData();
        EXPECT_TRUE(r.error.startsWith(message)) << qPrintable(r.error);
    }
    veldor::Database db;
    const Loaded apart = load(R"json({"objects": {"VD.X": {"1": {"A": "1"}, "2": {"A": "2", "B": "[{,}]"}}},
                                      "globals": {"^A(1)": "\"A\":"}})json",
                              db);
    EXPECT_TRUE(apart.ok) << "the same key in different objects is no repetition: "
                          << qPrintable(apart.error);
}

TEST(DataFile, ShowsControlCharactersInNamesEscaped)
{
    veldor::Database db;
    const Loaded r = load(R"json({"objects": {"VD.X": {"1\u0000\u001b[2J": {"A\nB": 5}}}})json", db);
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(
        r.error,
        uR"(field objects."VD.X"."1\x00\x1b[2J"."A\x0aB": expected a string or null, found a number)"_s);
}

TEST(DataFile, GlobalsCountAgainstTheirLimit)
{
    veldor::Database db;
    db.globals().setLimit(4096);
    QByteArray json = R"json({"globals": {)json";
    for (int i = 0; i < 20; ++i)
        json += "\"^G(" + QByteArray::number(i) + ")\": \"" + QByteArray(400, 'v') + "\",";
    json.chop(1);
    json += "}}";
    const Loaded r = load(json, db);
    EXPECT_FALSE(r.ok);
    EXPECT_TRUE(
        r.error.contains(u"the globals do not fit in their memory limit: <STORE> globals limit of 4096"_s))
        << qPrintable(r.error);
}

TEST(DataFile, ObjectsCountAgainstTheLimitOfTheGlobals)
{
    // 20 objects of 4,000 characters each: about 160 KB in memory.
    QByteArray json = R"json({"objects": {"VD.Big": {)json";
    for (int i = 0; i < 20; ++i)
        json += "\"" + QByteArray::number(i) + "\": {\"TEXT\": \"" + QByteArray(4000, 'v') + "\"},";
    json.chop(1);
    json += "}}}";

    veldor::Database tooSmall;
    tooSmall.globals().setLimit(64 * 1024);
    const Loaded refused = load(json, tooSmall);
    EXPECT_FALSE(refused.ok);
    EXPECT_TRUE(refused.error.contains(uR"(field objects."VD.Big".")"_s)) << qPrintable(refused.error);
    EXPECT_TRUE(refused.error.contains(u"the objects do not fit in the memory limit of the globals: "
                                       "<STORE> globals limit of 65536 bytes reached (see --max-globals)"_s))
        << qPrintable(refused.error);

    veldor::Database db;
    db.globals().setLimit(256 * 1024);
    const Loaded loaded = load(json, db);
    ASSERT_TRUE(loaded.ok) << qPrintable(loaded.error);
    EXPECT_GE(db.globals().bytes(), 20U * 4000 * sizeof(char16_t)) << "the texts at least";
    EXPECT_LT(db.globals().bytes(), 200U * 1024);
}
