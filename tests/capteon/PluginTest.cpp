// The control as the program reaches it: loaded from the plugin file beside the
// binary and used only through the interface header and its Qt meta-object.
#include "capteon/CapteonInterface.h"
#include "SaneTestDevice.h"
#include "TempDir.h"

#include <QApplication>
#include <QMetaObject>
#include <QPluginLoader>
#include <QWidget>

#include <gtest/gtest.h>

#include <memory>

namespace {

class PageCounter : public QObject {
    Q_OBJECT
public:
    int pages = 0;
public slots:
    void count(quintptr hBitmap)
    {
        if (hBitmap)
            ++pages;
    }
};

[[maybe_unused]] const auto *g_sane = ::testing::AddGlobalTestEnvironment(new arkavo::test::SaneEnvironment);

} // namespace

TEST(CapteonPlugin, LoadsFromTheProgramFolderAndScansAFeederBatch)
{
    arkavo::test::TempDir dir;
    QPluginLoader loader(QCoreApplication::applicationDirPath() + QStringLiteral("/libcapteon.so"));
    QObject *root = loader.instance();
    ASSERT_NE(root, nullptr) << loader.errorString().toStdString();
    EXPECT_EQ(loader.metaData().value(QStringLiteral("IID")).toString(), CapteonFactory_iid);
    auto *factory = qobject_cast<CapteonFactory *>(root);
    ASSERT_NE(factory, nullptr);

    auto host = std::make_unique<QWidget>();
    CapteonControl *control = factory->createControl(host.get());
    ASSERT_NE(control, nullptr);
    QWidget *w = control->widget();
    EXPECT_EQ(w->parentWidget(), host.get());
    w->setProperty("SettingsFile", QString::fromStdString((dir / "Capteon.ini").string()));

    // The members carry their names on the meta-object too.
    const QMetaObject *meta = w->metaObject();
    for (const char *p :
         {"imagewidth", "imageheight", "Duplex", "XResolution", "YResolution", "PageCount", "ImagePath",
          "PaperSize", "Feeder", "Brightness", "Contrast", "Threshold", "ShowUI", "Scanner", "Parent"})
        EXPECT_GE(meta->indexOfProperty(p), 0) << p;
    EXPECT_GE(meta->indexOfMethod("Scan()"), 0);
    EXPECT_GE(meta->indexOfMethod("SelectScanner()"), 0);
    EXPECT_GE(meta->indexOfSignal("PageDone(quintptr)"), 0);
    EXPECT_GE(meta->indexOfSignal("ScanDone()"), 0);

    control->setParentWindow(host.get());
    control->setShowUI(false);
    control->setScanner(QStringLiteral("test:0"));
    control->setXResolution(150);
    control->setFeeder(QStringLiteral("ADF"));
    EXPECT_EQ(control->Feeder(), "ADF");
    int pages = 0;
    bool done = false;
    control->onPageDone(host.get(), [&](HGLOBAL h) {
        EXPECT_GT(GlobalSize(h), 40u);
        EXPECT_EQ(control->XResolution(), 150);
        ++pages;
    });
    control->onScanDone(host.get(), [&] { done = pages == 10; });
    PageCounter counter;
    ASSERT_TRUE(QObject::connect(w, SIGNAL(PageDone(quintptr)), &counter, SLOT(count(quintptr))));

    control->Scan();
    EXPECT_EQ(pages, 10);
    EXPECT_EQ(counter.pages, 10);
    EXPECT_TRUE(done);
    EXPECT_EQ(control->Feeder(), "Automatic Document Feeder") << "the device's source it matched";
    EXPECT_EQ(control->PageCount(), 10);

    control->setScanner(QStringLiteral("test:9"));
    EXPECT_THROW(control->Scan(), std::runtime_error);
    host.reset();
}

#include "PluginTest.moc"

// The application lives for the whole run and is torn down before the leak check.
int main(int argc, char **argv)
{
    ::testing::InitGoogleTest(&argc, argv);
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen"); // also when ctest only lists the cases
    QApplication app(argc, argv);
    return RUN_ALL_TESTS();
}
