// The index listings: Index.txt read back by a CSV reader, Index.xml by an XML parser,
// whatever the field names and values hold.
#include "IndexListing.h"

#include "ExportSupport.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QTemporaryFile>

#include <gtest/gtest.h>

using namespace exporttest;

namespace {

TEST(IndexListing, OnlyValuesThatNeedItAreQuoted)
{
    const struct {
        QString value, written;
    } cases[] = {
        {"plain 值", "plain 值"},
        {"", ""},
        {"a,b", "\"a,b\""},
        {"say \"hi\"", "\"say \"\"hi\"\"\""},
        {"line\r\nbreak", "\"line\r\nbreak\""},
        {"lf\nonly", "\"lf\nonly\""},
        {"'apostrophe'", "'apostrophe'"},
    };
    for (const auto &c : cases)
        EXPECT_EQ(IndexListing::CsvField(c.value), c.written) << c.value.toStdString();
}

TEST(IndexListing, TextListingReadsBackWithACsvReader)
{
    if (!HasTool("python3"))
        GTEST_SKIP() << "python3 is needed";
    const QStringList names{"编号", "a,b", "备注"};
    IndexListing listing(names);
    listing.AddFile("合同, A", 1, {"1", "x\"y", "第一行\r\n第二行"});
    listing.AddFile("B", 12, {"2"});
    const QByteArray text = listing.Text();
    EXPECT_TRUE(text.startsWith("文件名称,文件序号,编号,\"a,b\",备注\r\n"));
    EXPECT_TRUE(text.endsWith("\r\nB,0000012,2,,\r\n"));
    const QByteArray json = RunTool(
        "python3",
        {"-c", "import csv,io,json,sys; print(json.dumps(list(csv.reader(io.StringIO(sys.stdin.buffer.read()"
               ".decode('utf-8'), newline='')))))"},
        text);
    const QJsonArray rows = QJsonDocument::fromJson(json).array();
    ASSERT_EQ(rows.size(), 3);
    EXPECT_EQ(rows[0].toVariant().toStringList(),
              (QStringList{"文件名称", "文件序号", "编号", "a,b", "备注"}));
    EXPECT_EQ(rows[1].toVariant().toStringList(),
              (QStringList{"合同, A", "0000001", "1", "x\"y", "第一行\r\n第二行"}));
    EXPECT_EQ(rows[2].toVariant().toStringList(), (QStringList{"B", "0000012", "2", "", ""}));
}

TEST(IndexListing, ElementNamesFromDisplayNames)
{
    const struct {
        QString name, element;
    } cases[] = {
        {"编号", "编号"}, {"备注", "备注"},    {"Date_2", "Date_2"}, {"a.b-c", "a.b-c"}, {"1号", "_1号"},
        {"-x", "_-x"},    {".x", "_.x"},       {"a b", "a_b"},       {"a:b", "a_b"},     {"(金额)", "_金额_"},
        {"", "_"},        {"全　角", "全_角"}, {"<&>", "___"},
    };
    for (const auto &c : cases)
        EXPECT_EQ(IndexListing::XmlName(c.name), c.element) << c.name.toStdString();
}

TEST(IndexListing, XmlListingIsWellFormedWhateverTheNamesAndValues)
{
    IndexListing listing({"编号", "1st", "a b", "x:y", "备注"});
    listing.AddFile("A&B <\"合同\">", 1,
                    {"1", "<tag>", "a & b", QString("ctl") + QChar(1) + "x", "行一\n行二"});
    listing.AddFile("C", 2, {});
    const QByteArray xml = listing.Xml();
    EXPECT_TRUE(xml.startsWith("<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"no\" ?>\n<Index>\n"));
    EXPECT_TRUE(xml.contains(
        "\n  <文件 名称=\"A&amp;B &lt;&quot;合同&quot;&gt;\" 序号=\"0000001\">\n    <编号>1</编号>\n"))
        << xml.toStdString();
    EXPECT_TRUE(xml.contains("<_1st>&lt;tag&gt;</_1st>"));
    EXPECT_TRUE(xml.contains("<x_y>ctlx</x_y>"));
    EXPECT_TRUE(xml.contains("<文件 名称=\"C\" 序号=\"0000002\">\n    <编号></编号>"));
    if (!HasTool("xmllint"))
        GTEST_SKIP() << "xmllint is needed";
    QTemporaryFile file;
    ASSERT_TRUE(file.open());
    file.write(xml);
    file.close();
    EXPECT_FALSE(RunTool("xmllint", {"--noout", file.fileName()}).isNull());
    // The parser sees the values as they were.
    EXPECT_EQ(RunTool("xmllint", {"--xpath", "string(/Index/文件[1]/a_b)", file.fileName()}).trimmed(),
              "a & b");
}

} // namespace
