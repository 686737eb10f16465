// The control as the program meets it: libovisco.so loaded from the directory of
// the running binary, used only through the interface header.
#include "ovisco/OviscoInterface.h"
#include "OviscoTestSupport.h"

#include <gtest/gtest.h>

#include <QJsonObject>
#include <QPluginLoader>
#include <QVariant>

#include <array>
#include <vector>

namespace {

class Viewer : public QObject {
    Q_OBJECT
public:
    std::vector<std::array<int, 4>> selections;
    int displayChanges = 0;

public slots:
    void OviscoPictureSelectionDrawn(int l, int t, int r, int b) { selections.push_back({l, t, r, b}); }
    void OviscoPictureDisplayDIBChanged(HGLOBAL *display)
    {
        ++displayChanges;
        EXPECT_NE(*display, nullptr);
    }
};

OviscoFactory *loadFactory(QPluginLoader &loader)
{
    loader.setFileName(QCoreApplication::applicationDirPath() + "/libovisco.so");
    return qobject_cast<OviscoFactory *>(loader.instance());
}

} // namespace

TEST(OviscoPlugin, LoadsFromBesideTheProgramAndNamesTheControl)
{
    ovtest::app();
    QPluginLoader loader;
    OviscoFactory *factory = loadFactory(loader);
    ASSERT_NE(factory, nullptr) << loader.errorString().toStdString();
    const QJsonObject meta = loader.metaData().value("MetaData").toObject();
    EXPECT_EQ(meta.value("Name").toString(), "Ovisco Control");
    EXPECT_EQ(meta.value("Version").toString(), "1.0");
    EXPECT_EQ(loader.metaData().value("IID").toString(), OviscoFactory_iid);
}

TEST(OviscoPlugin, HostDrivesTheControlThroughTheInterface)
{
    ovtest::app();
    QPluginLoader loader;
    OviscoFactory *factory = loadFactory(loader);
    ASSERT_NE(factory, nullptr) << loader.errorString().toStdString();

    QWidget form;
    form.resize(1000, 800);
    OviscoControl *picture = factory->createControl(&form);
    ASSERT_NE(picture, nullptr);
    QWidget *w = picture->widget();
    ASSERT_EQ(w->parentWidget(), &form);
    EXPECT_EQ(qobject_cast<OviscoControl *>(w), picture);
    OviscoControl *second = factory->createControl(&form);
    EXPECT_NE(second->widget(), w) << "every creation is a new instance";

    w->setGeometry(0, 0, 1000, 800);
    form.show();
    QCoreApplication::processEvents();

    EXPECT_FALSE(picture->SelectionRect());
    EXPECT_EQ(picture->Zoom(), 100.0);
    picture->setColor(QColor(192, 192, 192));

    Viewer viewer;
    ASSERT_TRUE(QObject::connect(w, SIGNAL(SelectionDrawn(int, int, int, int)), &viewer,
                                 SLOT(OviscoPictureSelectionDrawn(int, int, int, int))));
    ASSERT_TRUE(QObject::connect(w, SIGNAL(DisplayDIBChanged(HGLOBAL *)), &viewer,
                                 SLOT(OviscoPictureDisplayDIBChanged(HGLOBAL *))));
    std::vector<std::array<int, 4>> fromLambda;
    picture->onSelectionDrawn(&viewer, [&](int l, int t, int r, int b) {
        fromLambda.push_back({l, t, r, b});
    });

    arkavo::GlobalBlock page = ovtest::plainGrey(2000, 3000);
    picture->sethDIB(page.get());
    EXPECT_EQ(picture->hDIB(), page.get());
    EXPECT_DOUBLE_EQ(picture->Zoom(), 50.0);
    EXPECT_EQ(picture->ImageScaleWidth(), 1000);
    EXPECT_EQ(w->property("ImageScaleHeight").toInt(), 1500);
    picture->FitTo(0);
    EXPECT_DOUBLE_EQ(picture->Zoom(), 800.0 / 3000 * 100);
    w->setProperty("Zoom", 100.0);
    EXPECT_EQ(picture->Zoom(), 100.0);
    picture->setScrollPositionX(0);
    picture->setScrollPositionY(250);
    EXPECT_EQ(w->property("ScrollPositionY").toInt(), 250);

    HGLOBAL h = nullptr;
    EXPECT_EQ(picture->UpdateDIB(&h), OviscoResult::MemberNotFound);

    w->grab();
    EXPECT_EQ(viewer.displayChanges, 1);

    picture->setSelectionRect(true);
    QWidget *view = w->findChild<QWidget *>("OviscoView");
    ASSERT_NE(view, nullptr);
    ovtest::drag(view, {{10, 20}, {110, 70}});
    ASSERT_EQ(viewer.selections.size(), 1u);
    EXPECT_EQ(viewer.selections[0], (std::array<int, 4>{10, 270, 110, 320}));
    EXPECT_EQ(fromLambda, viewer.selections);

    delete w; // the host's form may destroy the control; the page stays the host's
    EXPECT_EQ(GlobalSize(page.get()), page.size());
}

#include "OviscoPluginTest.moc"
