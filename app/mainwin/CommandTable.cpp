#include "CommandTable.h"

#include <QHash>

using K = CommandSpec::Kind;

const std::vector<CommandSpec> &MainCommands()
{
    static const std::vector<CommandSpec> table = {
        // File
        {"MainMenu1", "MN_FILE", "文件(&F)", "", K::Submenu, true, false},
        {"MN_FILE", "MN_FILE_New", "新建(&N)", "", K::Submenu, true, false},
        {"MN_FILE_New", "MN_FILE_NewFileType", "新建文件类型(&T)", "", K::Item, true, false},
        {"MN_FILE_New", "MN_FILE_NewFolder", "新建文件夹(&F)", "", K::Item, false, false},
        {"MN_FILE_New", "MN_FILE_NewFile", "新建文件(&L)", "", K::Item, false, false},
        {"MN_FILE", "MN_FILE_IMPORT", "导入(&I)", "", K::Submenu, false, false},
        {"MN_FILE_IMPORT", "MN_FILE_AppendImport", "到文件末尾", "", K::Item, false, false},
        {"MN_FILE_IMPORT", "MN_FILE_InsertImport", "到当前页前", "", K::Item, false, false},
        {"MN_FILE", "MN_FILE_EXPORT", "导出(&E)...", "Ctrl+E", K::Item, true, false},
        {"MN_FILE", "", "", "", K::Separator, true, false},
        {"MN_FILE", "MN_FILE_RENAME", "重命名(&R)", "", K::Item, true, false},
        {"MN_FILE", "MN_FILE_DELETE", "删除(&D)", "Del", K::Item, true, false},
        {"MN_FILE", "", "", "", K::Separator, true, false},
        {"MN_FILE", "MN_FILE_PRINT", "打印(&P)...", "", K::Item, false, false},
        {"MN_FILE", "MN_FILE_EMAIL", "发送邮件(&M)...", "", K::Item, false, false},
        {"MN_FILE", "", "", "", K::Separator, true, false},
        {"MN_FILE", "MN_FILE_PROPERTIES", "属性(&I)", "", K::Item, false, false},
        {"MN_FILE", "", "", "", K::Separator, true, false},
        {"MN_FILE", "MN_FILE_CLOSE", "关闭(&C)", "", K::Item, true, false},
        // Edit
        {"MainMenu1", "MN_EDIT", "编辑(&E)", "", K::Submenu, true, false},
        {"MN_EDIT", "MN_EDIT_CUT", "剪切", "Ctrl+X", K::Item, false, false},
        {"MN_EDIT", "MN_EDIT_COPY", "复制", "Ctrl+C", K::Item, false, false},
        {"MN_EDIT", "MN_EDIT_PASTE", "粘贴", "Ctrl+V", K::Item, false, false},
        {"MN_EDIT", "", "", "", K::Separator, true, false},
        {"MN_EDIT", "MN_EDIT_COPYPAGETO", "页面复制到...", "", K::Item, false, false},
        {"MN_EDIT", "MN_EDIT_MOVEPAGETO", "页面移动到...", "", K::Item, false, false},
        {"MN_EDIT", "MN_EDIT_MERGEFILETO", "文件合并到...", "", K::Item, false, false},
        {"MN_EDIT", "", "", "", K::Separator, true, false},
        {"MN_EDIT", "MN_EDIT_SELECTALL", "全部选中", "Ctrl+A", K::Item, true, false},
        {"MN_EDIT", "MN_EDIT_INVERTSELECTION", "反向选择", "", K::Item, true, false},
        // View
        {"MainMenu1", "MN_VIEW", "视图(&V)", "", K::Submenu, true, false},
        {"MN_VIEW", "MN_VIEW_SCANNER", "扫描设置(&S)", "", K::Check, true, false},
        {"MN_VIEW", "MN_VIEW_STATUSBAR", "状态栏(&S)", "", K::Check, true, true},
        {"MN_VIEW", "", "", "", K::Separator, true, false},
        {"MN_VIEW", "MN_VIEW_THUMBNAIL", "缩略图(&T)", "Ctrl+T", K::Check, true, true},
        {"MN_VIEW", "MN_VIEW_SINGLE", "单页显示(&S)", "Ctrl+1", K::Check, true, false},
        // Navigation
        {"MainMenu1", "MN_NAVIGATION", "导航(&N)", "", K::Submenu, true, false},
        {"MN_NAVIGATION", "MN_NAVIGATION_FIRSTFILE", "首文件(&F)", "", K::Item, false, false},
        {"MN_NAVIGATION", "MN_NAVIGATION_PREVIOUSFILE", "上一文件(&P)", "", K::Item, false, false},
        {"MN_NAVIGATION", "MN_NAVIGATION_NEXTFILE", "下一文件(&N)", "", K::Item, false, false},
        {"MN_NAVIGATION", "MN_NAVIGATION_LASTFILE", "尾文件(&L)", "", K::Item, false, false},
        {"MN_NAVIGATION", "", "", "", K::Separator, true, false},
        {"MN_NAVIGATION", "MN_NAVIGATION_FIRSTPAGE", "第一页", "", K::Item, false, false},
        {"MN_NAVIGATION", "MN_NAVIGATION_PREVIOUSPAGE", "上一页", "", K::Item, false, false},
        {"MN_NAVIGATION", "MN_NAVIGATION_NEXTPAGE", "下一页", "", K::Item, false, false},
        {"MN_NAVIGATION", "MN_NAVIGATION_LASTPAGE", "最后一页", "", K::Item, false, false},
        // Zoom
        {"MainMenu1", "MN_ZOOM", "缩放(&Z)", "", K::Submenu, true, false},
        {"MN_ZOOM", "MN_ZOOM_IN", "放大(&I)", "Ctrl+Up", K::Item, false, false},
        {"MN_ZOOM", "MN_ZOOM_OUT", "缩小(&O)", "Ctrl+Down", K::Item, false, false},
        {"MN_ZOOM", "MN_ZOOM_LOCK", "锁定比例", "", K::Check, true, true},
        {"MN_ZOOM", "", "", "", K::Separator, true, false},
        {"MN_ZOOM", "MN_ZOOM_FITWIDTH", "适合宽度(&W)", "", K::Item, false, false},
        {"MN_ZOOM", "MN_ZOOM_FITHEIGHT", "适合高度(&H)", "", K::Item, false, false},
        {"MN_ZOOM", "MN_ZOOM_BESTFIT", "最佳适应(&B)", "", K::Item, false, false},
        {"MN_ZOOM", "MN_ZOOM_ACTUALSIZE", "实际大小(&A)", "", K::Item, false, false},
        {"MN_ZOOM", "", "", "", K::Separator, true, false},
        {"MN_ZOOM", "MN_ZOOM_25", "25%(&2)", "", K::Item, false, false},
        {"MN_ZOOM", "MN_ZOOM_50", "50%(&5)", "", K::Item, false, false},
        {"MN_ZOOM", "MN_ZOOM_75", "75%(&7)", "", K::Item, false, false},
        {"MN_ZOOM", "MN_ZOOM_100", "100%(&1)", "", K::Item, false, false},
        {"MN_ZOOM", "MN_ZOOM_200", "200%(&2)", "", K::Item, false, false},
        {"MN_ZOOM", "MN_ZOOM_400", "400%(&4)", "", K::Item, false, false},
        // Scan
        {"MainMenu1", "MN_SCANNER", "扫描(&S)", "", K::Submenu, true, false},
        {"MN_SCANNER", "MN_SCANNER_SELECTSCANNER", "选择扫描仪(&C)", "Ctrl+L", K::Item, true, false},
        {"MN_SCANNER", "", "", "", K::Separator, true, false},
        {"MN_SCANNER", "MN_SCANNER_APPENDSCAN", "添加扫描(&A)", "", K::Item, false, false},
        {"MN_SCANNER", "MN_SCANNER_INSERTSCAN", "插入扫描(&I)", "", K::Item, false, false},
        {"MN_SCANNER", "MN_SCANNER_REPLACESCAN", "重扫(&R)", "Ctrl+R", K::Item, false, false},
        // Image
        {"MainMenu1", "MN_IMAGE", "图像(&I)", "", K::Submenu, true, false},
        {"MN_IMAGE", "MN_IMAGE_INVERSE", "反色(&I)", "", K::Item, false, false},
        {"MN_IMAGE", "MN_IMAGE_MIRROR", "镜像(&M)", "", K::Item, false, false},
        {"MN_IMAGE", "MN_IMAGE_FLIP", "翻转(&F)", "", K::Item, false, false},
        {"MN_IMAGE", "MN_IMAGE_ROTATE", "旋转(&R)", "", K::Submenu, false, false},
        {"MN_IMAGE_ROTATE", "MN_IMAGE_ROTATE_L90", "左转90度", "", K::Item, false, false},
        {"MN_IMAGE_ROTATE", "MN_IMAGE_ROTATE_R90", "右转90度", "", K::Item, false, false},
        {"MN_IMAGE_ROTATE", "MN_IMAGE_ROTATE_180", "旋转180度", "", K::Item, false, false},
        {"MN_IMAGE_ROTATE", "MN_IMAGE_ROTATE_CUSTOM", "任意角度", "", K::Item, false, false},
        {"MN_IMAGE", "", "", "", K::Separator, true, false},
        {"MN_IMAGE", "MN_IMAGE_CROP", "裁剪(&U)", "", K::Item, false, false},
        {"MN_IMAGE", "MN_IMAGE_AUTOCROP", "智能裁剪(&C)", "", K::Item, false, false},
        {"MN_IMAGE", "MN_IMAGE_DESKEW", "纠偏(&K)", "", K::Item, false, false},
        {"MN_IMAGE", "MN_IMAGE_DESPECLE", "去污渍(&S)", "", K::Submenu, false, false},
        {"MN_IMAGE_DESPECLE", "MN_IMAGE_DESPECLE_SMALL", "小(&S)", "", K::Item, true, false},
        {"MN_IMAGE_DESPECLE", "MN_IMAGE_DESPECLE_MEDIUM", "中(&M)", "", K::Item, true, false},
        {"MN_IMAGE_DESPECLE", "MN_IMAGE_DESPECLE_LARGE", "大(&L)", "", K::Item, true, false},
        {"MN_IMAGE", "MN_IMAGE_REMOVEBLACKBORDER", "去黑边(&H)", "", K::Item, false, false},
        {"MN_IMAGE", "MN_IMAGE_TEXT", "文字效果", "", K::Submenu, false, false},
        {"MN_IMAGE_TEXT", "MN_IMAGE_TEXTDARKER", "加深", "", K::Item, true, false},
        {"MN_IMAGE_TEXT", "MN_IMAGE_TEXTLIGHTER", "变浅", "", K::Item, true, false},
        {"MN_IMAGE", "MN_IMAGE_BRIGHTCONTRAST", "调节亮度与对比度", "", K::Item, false, false},
        {"MN_IMAGE", "", "", "", K::Separator, true, false},
        {"MN_IMAGE", "MN_IMAGE_SEARCHBLANKPAGE", "自动搜索空白页", "", K::Item, false, false},
        {"MN_IMAGE", "", "", "", K::Separator, true, false},
        {"MN_IMAGE", "MN_IMAGE_SETTING", "设置...", "", K::Item, true, false},
        // Help
        {"MainMenu1", "MN_HELP", "帮助(&H)", "", K::Submenu, true, false},
        {"MN_HELP", "MN_HELP_CONTENT", "帮助(&H)", "Ctrl+H", K::Item, true, false},
        {"MN_HELP", "MN_HELP_CHECKNEWVERSION", "检查新版本...", "", K::Item, true, false},
        {"MN_HELP", "", "", "", K::Separator, true, false},
        {"MN_HELP", "MN_HELP_ABOUT", "关于本产品...", "Ctrl+B", K::Item, true, false},

        // Tree popup
        {"PopupMenu1", "PMN_FILE_IMPORT", "导入", "", K::Submenu, false, false},
        {"PMN_FILE_IMPORT", "PMN_FILE_AppendImport", "到文件末尾", "", K::Item, false, false},
        {"PMN_FILE_IMPORT", "PMN_FILE_InsertImport", "到当前页前", "", K::Item, false, false},
        {"PopupMenu1", "PMN_FILE_EXPORT", "导出", "", K::Item, true, false},
        {"PopupMenu1", "", "", "", K::Separator, true, false},
        {"PopupMenu1", "N13", "新建", "", K::Submenu, true, false},
        {"N13", "MenuItem3", "新建文件类型", "", K::Item, true, false},
        {"N13", "PMN_FILE_NewFolder1", "新建文件夹", "", K::Item, false, false},
        {"N13", "PMN_FILE_NewFile1", "新建文件", "", K::Item, false, false},
        {"PopupMenu1", "", "", "", K::Separator, true, false},
        {"PopupMenu1", "PMN_FILE_RENAME", "重命名", "F2", K::Item, true, false},
        {"PopupMenu1", "PMN_FILE_DELETE", "删除", "", K::Item, true, false},
        {"PopupMenu1", "PMN_FILE_FIELDDEFINE", "定义索引", "", K::Item, true, false},
        {"PopupMenu1", "PMN_FILE_PROPERTIES", "属性", "Ctrl+I", K::Item, true, false},

        // New popup (drop-down of the first tool button)
        {"PopupMenu2", "MenuItem7", "新建文件类型", "", K::Item, true, false},
        {"PopupMenu2", "PMN_FILE_NewFolder", "新建文件夹", "", K::Item, false, false},
        {"PopupMenu2", "PMN_FILE_NewFile", "新建文件", "", K::Item, false, false},

        // Page-list popup
        {"PopMenuListView", "I1", "图像(&I)", "", K::Submenu, true, false},
        {"I1", "I2", "反色(&I)", "", K::Item, false, false},
        {"I1", "M1", "镜像(&M)", "", K::Item, false, false},
        {"I1", "F1", "翻转(&F)", "", K::Item, false, false},
        {"I1", "R1", "旋转(&R)", "", K::Submenu, false, false},
        {"R1", "N902", "左转90度", "", K::Item, false, false},
        {"R1", "N901", "右转90度", "", K::Item, false, false},
        {"R1", "N1801", "旋转180度", "", K::Item, false, false},
        {"R1", "N2", "任意角度", "", K::Item, false, false},
        {"I1", "N3", "", "", K::Separator, true, false},
        {"I1", "U1", "裁剪(&U)", "", K::Item, false, false},
        {"I1", "C2", "智能裁剪(&C)", "", K::Item, false, false},
        {"I1", "K1", "纠偏(&K)", "", K::Item, false, false},
        {"I1", "S1", "去污渍(&S)", "", K::Submenu, false, false},
        {"S1", "S2", "小(&S)", "", K::Item, true, false},
        {"S1", "M2", "中(&M)", "", K::Item, true, false},
        {"S1", "L1", "大(&L)", "", K::Item, true, false},
        {"I1", "H1", "去黑边(&H)", "", K::Item, false, false},
        {"I1", "N5", "文字效果", "", K::Submenu, false, false},
        {"N5", "N12", "加深", "", K::Item, true, false},
        {"N5", "N11", "变浅", "", K::Item, true, false},
        {"I1", "N15", "调节亮度与对比度", "", K::Item, false, false},
        {"I1", "", "", "", K::Separator, true, false},
        {"I1", "N20", "自动搜索空白页", "", K::Item, false, false},
        {"I1", "", "", "", K::Separator, true, false},
        {"I1", "N26", "设置...", "", K::Item, true, false},
        {"PopMenuListView", "", "", "", K::Separator, true, false},
        {"PopMenuListView", "PMN_EDIT_CUT", "剪切", "", K::Item, false, false},
        {"PopMenuListView", "PMN_EDIT_COPY", "复制", "", K::Item, false, false},
        {"PopMenuListView", "PMN_EDIT_PASTE", "粘贴", "", K::Item, false, false},
        {"PopMenuListView", "PMN_FILE_DELETE1", "删除(&D)", "", K::Item, false, false},
        {"PopMenuListView", "", "", "", K::Separator, true, false},
        {"PopMenuListView", "PMN_SCANNER_APPENDSCAN", "添加扫描(&A)", "", K::Item, false, false},
        {"PopMenuListView", "PMN_SCANNER_INSERTSCAN", "插入扫描(&I)", "", K::Item, false, false},
        {"PopMenuListView", "PMN_SCANNER_REPLACESCAN", "重扫(&R)", "", K::Item, false, false},
        {"PopMenuListView", "PMN_FILE_EMAIL", "发送邮件(&M)...", "", K::Item, false, false},
    };
    return table;
}

bool InPopup(const CommandSpec &command)
{
    // Each entry's menu, by the menu's own name: the chain from an entry ends at the menu
    // bar or at one of the pop-ups.
    static const QHash<QString, QString> menuOf = [] {
        QHash<QString, QString> map;
        for (const CommandSpec &c : MainCommands())
            if (*c.name)
                map.insert(QString::fromLatin1(c.name), QString::fromLatin1(c.menu));
        return map;
    }();
    QString menu = QString::fromLatin1(command.menu);
    for (int depth = 0; menu != u"MainMenu1" && menuOf.contains(menu) && depth < 16; ++depth)
        menu = menuOf.value(menu);
    return menu != u"MainMenu1";
}

const std::vector<ImageMirror> &ImagePopupMirror()
{
    static const std::vector<ImageMirror> mirror = {
        {"I2", "MN_IMAGE_INVERSE"},
        {"M1", "MN_IMAGE_MIRROR"},
        {"F1", "MN_IMAGE_FLIP"},
        {"R1", "MN_IMAGE_ROTATE"},
        {"N902", "MN_IMAGE_ROTATE_L90"},
        {"N901", "MN_IMAGE_ROTATE_R90"},
        {"N1801", "MN_IMAGE_ROTATE_180"},
        {"N2", "MN_IMAGE_ROTATE_CUSTOM"},
        {"U1", "MN_IMAGE_CROP"},
        {"C2", "MN_IMAGE_AUTOCROP"},
        {"K1", "MN_IMAGE_DESKEW"},
        {"S1", "MN_IMAGE_DESPECLE"},
        {"S2", "MN_IMAGE_DESPECLE_SMALL"},
        {"M2", "MN_IMAGE_DESPECLE_MEDIUM"},
        {"L1", "MN_IMAGE_DESPECLE_LARGE"},
        {"H1", "MN_IMAGE_REMOVEBLACKBORDER"},
        {"N5", "MN_IMAGE_TEXT"},
        {"N12", "MN_IMAGE_TEXTDARKER"},
        {"N11", "MN_IMAGE_TEXTLIGHTER"},
        {"N15", "MN_IMAGE_BRIGHTCONTRAST"},
        {"N20", "MN_IMAGE_SEARCHBLANKPAGE"},
        {"N26", "MN_IMAGE_SETTING"},
    };
    return mirror;
}
