#pragma once
// Workbooks for the tests, written by the system's Python with openpyxl and xlwt (as a
// spreadsheet program's own files would be), or package by package where a test needs parts
// that those libraries do not write (cached formula values, inline strings, damaged files).

#include <QCoreApplication>
#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QString>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace fixtures {

inline const char* Script = R"PY(
import sys, os, zipfile
out = sys.argv[1]
p = lambda n: os.path.join(out, n)

# --- openpyxl: values, strings, booleans, names, empty and chart sheets -----------------
import datetime
from openpyxl import Workbook
from openpyxl.chart import BarChart, Reference
from openpyxl.styles import Font
from openpyxl.workbook.defined_name import DefinedName

wb = Workbook()
ws = wb.active
ws.title = "Data"
ws["A1"] = -3
ws["B2"] = 12.5
ws["C3"] = "hello"
ws["D4"] = True
ws["D5"] = False
ws["E5"] = datetime.date(2024, 1, 31)
ws["F6"] = 1e300
ws["AB7"] = 42
ws["G8"] = "=B2*2"          # written without a computed value
cs = wb.create_chartsheet("Chart")
chart = BarChart()
chart.add_data(Reference(ws, min_col=2, min_row=2, max_row=2))
cs.add_chart(chart)
my = wb.create_sheet("My Sheet")
my["A1"] = 7
wb.create_sheet("Empty")
styled = wb.create_sheet("Styled")
styled["C5"].font = Font(bold=True)
wb.defined_names.append(DefinedName("Price", attr_text="Data!$B$2"))
wb.defined_names.append(DefinedName("Local", localSheetId=2, attr_text="'My Sheet'!$A$1"))
wb.defined_names.append(DefinedName("Secret", hidden=True, attr_text="Data!$AB$7"))
wb.defined_names.append(DefinedName("Block", attr_text="Data!$A$1:$B$2"))
wb.defined_names.append(DefinedName("Gone", attr_text="#REF!"))
wb.defined_names.append(DefinedName("Half", attr_text="0.5"))
wb.defined_names.append(DefinedName("Words", attr_text="Data!$C$3"))
wb.defined_names.append(DefinedName("Twice", localSheetId=0, attr_text="Data!$A$1"))
wb.defined_names.append(DefinedName("Twice", localSheetId=2, attr_text="'My Sheet'!$A$1"))
wb.save(p("book.xlsx"))

# --- a package written part by part, as a spreadsheet program writes it -----------------
CT = '''<?xml version="1.0" encoding="UTF-8" standalone="yes"?>
<Types xmlns="http://schemas.openxmlformats.org/package/2006/content-types">
<Default Extension="rels" ContentType="application/vnd.openxmlformats-package.relationships+xml"/>
<Default Extension="xml" ContentType="application/xml"/>
<Override PartName="/xl/workbook.xml" ContentType="application/vnd.openxmlformats-officedocument.spreadsheetml.sheet.main+xml"/>
</Types>'''
ROOT_RELS = '''<?xml version="1.0" encoding="UTF-8" standalone="yes"?>
<Relationships xmlns="http://schemas.openxmlformats.org/package/2006/relationships">
<Relationship Id="rId1" Type="http://schemas.openxmlformats.org/officeDocument/2006/relationships/officeDocument" Target="xl/workbook.xml"/>
</Relationships>'''
NS = 'xmlns="http://schemas.openxmlformats.org/spreadsheetml/2006/main" xmlns:r="http://schemas.openxmlformats.org/officeDocument/2006/relationships"'
REL = "http://schemas.openxmlformats.org/officeDocument/2006/relationships/"

def package(name, sheets, shared=None, names="", extra=None, compression=zipfile.ZIP_DEFLATED):
    rels = ['<Relationship Id="rId%d" Type="%sworksheet" Target="worksheets/sheet%d.xml"/>' % (i + 1, REL, i + 1)
            for i in range(len(sheets))]
    if shared is not None:
        rels.append('<Relationship Id="rIdS" Type="%ssharedStrings" Target="/xl/sharedStrings.xml"/>' % REL)
    wbxml = '<?xml version="1.0" encoding="UTF-8"?><workbook %s><sheets>%s</sheets>%s</workbook>' % (
        NS, "".join('<sheet name="%s" sheetId="%d" r:id="rId%d"/>' % (n, i + 1, i + 1)
                    for i, (n, _) in enumerate(sheets)), names)
    with zipfile.ZipFile(p(name), "w", compression) as z:
        z.writestr("[Content_Types].xml", CT)
        z.writestr("_rels/.rels", ROOT_RELS)
        z.writestr("xl/workbook.xml", wbxml)
        z.writestr("xl/_rels/workbook.xml.rels",
                   '<?xml version="1.0"?><Relationships xmlns="http://schemas.openxmlformats.org/package/2006/relationships">%s</Relationships>' % "".join(rels))
        if shared is not None:
            z.writestr("xl/sharedStrings.xml", shared)
        for i, (_, body) in enumerate(sheets):
            z.writestr("xl/worksheets/sheet%d.xml" % (i + 1), body)
        for k, v in (extra or {}).items():
            z.writestr(k, v)

def sheet(rows, head='<dimension ref="A1"/>'):
    return '<?xml version="1.0" encoding="UTF-8"?><worksheet %s>%s<sheetData>%s</sheetData></worksheet>' % (NS, head, rows)

SST = ('<?xml version="1.0" encoding="UTF-8"?><sst xmlns="http://schemas.openxmlformats.org/spreadsheetml/2006/main" count="3" uniqueCount="3">'
       '<si><t>plain</t></si>'
       '<si><r><rPr><b/></rPr><t xml:space="preserve">rich </t></r><r><t>text</t></r><rPh sb="0" eb="1"><t>yomi</t></rPh></si>'
       '<si><t>line_x000D_break &lt;&amp;&gt; &#233;</t></si><si><t>tail_x0041_</t></si></sst>')
cached = sheet(
    '<row r="1"><c r="A1"><f>1+2</f><v>3</v></c><c r="B1" t="inlineStr"><is><r><t>Fish &amp; </t></r><r><t>Chips</t></r></is></c><c><v>8</v></c></row>'
    '<row r="2"><c r="A2" t="str"><f>"a"&amp;"b"</f><v>ab</v></c><c r="B2" t="s"><v>0</v></c><c r="C2" t="s"><v>1</v></c><c r="D2" t="s"><v>2</v></c></row>'
    '<row r="3"><c r="A3" t="e"><f>1/0</f><v>#DIV/0!</v></c></row>'
    '<row r="4"><c r="A4"><f>A1*2</f></c></row>'
    '<row r="5"><c r="A5" t="b"><f>TRUE()</f><v>1</v></c><c r="B5" t="d"><v>2024-01-31T12:00:00</v></c>'
    '<c r="C5" t="b"><v>true</v></c><c r="D5" t="b"><v>0</v></c><c r="E5" t="s"><v>3</v></c></row>'
    '<row><c r="A6"><v> 1.5E+3 </v></c></row>'
    '<row r="1048576"><c r="XFD1048576"><v>99</v></c></row>',
    head='<dimension ref="A1:XFD1048576"/>')
prefixed = ('<?xml version="1.0"?><x:worksheet xmlns:x="http://schemas.openxmlformats.org/spreadsheetml/2006/main">'
            '<x:sheetData><x:row r="2"><x:c r="C2"><x:v>7.25</x:v></x:c></x:row></x:sheetData></x:worksheet>')
names = ('<definedNames><definedName name="Total">Calc!$A$1</definedName>'
         '<definedName name="_xlnm.Print_Area" localSheetId="0">Calc!$A$1:$D$5</definedName>'
         '<definedName name="Same">Calc!$A$1:$A$1</definedName>'
         '<definedName name="Other">[1]Sheet1!$A$1</definedName></definedNames>')
package("cached.xlsx", [("Calc", cached), ("Prefixed", prefixed)], shared=SST, names=names)

# A huge declared dimension over one cell, and cells given out of row order.
package("dimension.xlsx", [("Big", sheet('<row r="3"><c r="B3"><v>2</v></c></row><row r="1"><c r="A1"><v>1</v></c><c r="A1"><v>5</v></c></row>',
                                         head='<dimension ref="A1:XFD1048576"/>'))])

# --- damaged files -------------------------------------------------------------------------
good = open(p("book.xlsx"), "rb").read()
open(p("truncated.xlsx"), "wb").write(good[: len(good) // 2])
damaged = bytearray(good)
for i in range(200, len(damaged) - 200, 97):
    damaged[i] ^= 0x5A
open(p("scrambled.xlsx"), "wb").write(bytes(damaged))
open(p("garbage.xlsx"), "wb").write(b"This is not a workbook at all.\n" * 10)
open(p("empty.xlsx"), "wb").write(b"")
open(p("encrypted.xlsx"), "wb").write(bytes.fromhex("D0CF11E0A1B11AE1") + b"\0" * 504 +
                                     "EncryptedPackage".encode("utf-16-le") + b"\0" * 1024)

package("unclosed.xlsx", [("S", sheet('<row r="1"><c r="A1"><v>1</v></c></row>')[:-40])])
package("mismatched.xlsx", [("S", sheet('<row r="1"><c r="A1"><v>1</v></row></c>'))])
laughs = ('<?xml version="1.0"?><!DOCTYPE lolz [<!ENTITY lol "lol"><!ENTITY lol2 "&lol;&lol;&lol;&lol;&lol;&lol;&lol;&lol;">]>'
          '<worksheet %s><sheetData><row r="1"><c r="A1" t="inlineStr"><is><t>&lol2;</t></is></c></row></sheetData></worksheet>' % NS)
package("laughs.xlsx", [("S", laughs)])
package("badref.xlsx", [("S", sheet('<row r="1"><c r="XFE1"><v>1</v></c></row>'))])
package("badnumber.xlsx", [("S", sheet('<row r="1"><c r="A1"><v>12abc</v></c></row>'))])
with zipfile.ZipFile(p("notworkbookxml.xlsx"), "w") as z:
    z.writestr("_rels/.rels", ROOT_RELS)
    z.writestr("xl/workbook.xml", "<workbook><sheets><sheet name='S' r:id='x'></sheets></workbook>")

# An entry that unpacks to more than its headers declare.
import struct
lying = bytearray(open(p("dimension.xlsx"), "rb").read())
part = b"xl/worksheets/sheet1.xml"
with zipfile.ZipFile(p("dimension.xlsx")) as z:
    struct.pack_into("<I", lying, z.getinfo(part.decode()).header_offset + 22, 10)
i = lying.find(b"PK\x01\x02")
while i >= 0:
    n = struct.unpack_from("<H", lying, i + 28)[0]
    if lying[i + 46:i + 46 + n] == part:
        struct.pack_into("<I", lying, i + 24, 10)
    i = lying.find(b"PK\x01\x02", i + 4)
open(p("lying.xlsx"), "wb").write(bytes(lying))

# Other spreadsheet formats that come as zip packages.
with zipfile.ZipFile(p("sheet.ods"), "w") as z:
    z.writestr("mimetype", "application/vnd.oasis.opendocument.spreadsheet")
    z.writestr("content.xml", "<office:document-content/>")
with zipfile.ZipFile(p("binary.xlsb"), "w") as z:
    z.writestr("_rels/.rels", ROOT_RELS.replace("workbook.xml", "workbook.bin"))
    z.writestr("xl/workbook.bin", b"\x83\x01\x00")

# --- zip bombs: too large to unpack, and compressed far too well ----------------------------
def bomb(name, megabytes, parts=1):
    with zipfile.ZipFile(p(name), "w", zipfile.ZIP_DEFLATED, compresslevel=9) as z:
        z.writestr("[Content_Types].xml", CT)
        z.writestr("_rels/.rels", ROOT_RELS)
        z.writestr("xl/workbook.xml", '<workbook %s><sheets>%s</sheets></workbook>' % (NS, "".join('<sheet name="S%d" sheetId="%d" r:id="rId%d"/>' % (i, i, i) for i in range(1, parts + 1))))
        z.writestr("xl/_rels/workbook.xml.rels",
                   '<Relationships xmlns="http://schemas.openxmlformats.org/package/2006/relationships">%s</Relationships>' % "".join('<Relationship Id="rId%d" Type="%sworksheet" Target="worksheets/sheet%d.xml"/>' % (i, REL, i) for i in range(1, parts + 1)))
        for i in range(1, parts + 1):
            with z.open("xl/worksheets/sheet%d.xml" % i, "w", force_zip64=True) as f:
                f.write(('<worksheet %s><sheetData>' % NS).encode())
                chunk = b" " * (1 << 20)
                for _ in range(megabytes):
                    f.write(chunk)
                f.write(b"</sheetData></worksheet>")
bomb("bomb-large.xlsx", 300)
bomb("bomb-ratio.xlsx", 40)
bomb("bomb-parts.xlsx", 25, parts=3)  # each part too small for the ratio check, the whole far too large

# --- texts that count together: 1000 shared and 1000 inline strings of 100 characters ---------
shared_rows = "".join('<row r="%d"><c r="A%d" t="s"><v>%d</v></c></row>' % (i + 1, i + 1, i) for i in range(1000))
inline_rows = "".join('<row r="%d"><c r="A%d" t="inlineStr"><is><t>%s</t></is></c></row>' % (i + 1, i + 1, "i%03d" % i * 25) for i in range(1000))
sst = '<sst %s>%s</sst>' % (NS, "".join("<si><t>%s</t></si>" % ("s%03d" % i * 25) for i in range(1000)))
package("texts-shared.xlsx", [("S", sheet(shared_rows))], shared=sst)
package("texts-inline.xlsx", [("S", sheet(inline_rows))])
package("texts-both.xlsx", [("S", sheet(shared_rows)), ("T", sheet(inline_rows))], shared=sst)

# --- the older binary format ---------------------------------------------------------------
import xlwt
x = xlwt.Workbook()
s = x.add_sheet("Old")
s.write(1, 1, 3.75)
x.save(p("old.xls"))
)PY";

// The fixtures are made once per version of the script and shared by the test processes (ctest
// runs every test in a process of its own): made in a folder of their own, then renamed into place.
// They live beside the test program, so that nothing is left behind in the system's temporary folder.
inline const QString& Folder()
{
    static const QString path = [] {
        const QByteArray hash = QCryptographicHash::hash(QByteArray(Script), QCryptographicHash::Md5).toHex().left(12);
        const QString folder = QDir(QCoreApplication::applicationDirPath()).filePath(QStringLiteral("formula-fixtures-") + QString::fromLatin1(hash));
        const QString marker = folder + QStringLiteral("/complete");
        if (QFileInfo::exists(marker))
            return folder;
        QTemporaryDir staging(folder + QStringLiteral("-XXXXXX"));
        QProcess python;
        python.start(QStringLiteral("/usr/bin/python3"), {QStringLiteral("-c"), QString::fromUtf8(Script), staging.path()});
        if (!python.waitForFinished(180000) || python.exitCode() != 0) {
            ADD_FAILURE() << "fixture script failed: " << python.readAllStandardError().toStdString();
            return folder;
        }
        QFile(staging.path() + QStringLiteral("/complete")).open(QIODevice::WriteOnly);
        if (QFileInfo::exists(folder) && !QFileInfo::exists(marker))
            QDir(folder).removeRecursively();  // left half-made by an interrupted run
        if (QDir().rename(staging.path(), folder))
            staging.setAutoRemove(false);
        return folder;  // made here, or by another test process meanwhile
    }();
    return path;
}

inline QString File(const QString& name)
{
    return QDir(Folder()).filePath(name);
}

} // namespace fixtures
