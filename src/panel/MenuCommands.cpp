#include "panel/MenuCommands.h"

namespace MenuCommands {

const std::vector<Command>& Table() {
    static const std::vector<Command> table = [] {
        const QString file = QStringLiteral("文件操作");
        const QString edit = QStringLiteral("编辑");
        const QString process = QStringLiteral("图像加工");
        const QString rotate = QStringLiteral("旋转处理");
        const QString none;
        using A = Action;
        const After close = After::Close;
        return std::vector<Command>{
            {8, 0, file, QStringLiteral("打开图片"), QStringLiteral("从电脑里打开一张图片"),
             QStringLiteral("OPEN"), A::Open, close},
            {9, 0, file, QStringLiteral("拷贝屏幕"),
             QStringLiteral("将当前的屏幕拷贝下来作为要处理的图像"), QStringLiteral("COPYSCREEN"),
             A::CopyScreen, After::HideFirst},
            {7, 0, file, QStringLiteral("另存为"), QStringLiteral("将图片另存到电脑里"),
             QStringLiteral("SAVEAS"), A::SaveAs, close},
            {6, 0, file, QStringLiteral("快速另存"),
             QStringLiteral("快速保存图片到指定的目录，并自动命名"), QStringLiteral("QUICKSAVE"),
             A::QuickSave, close},
            {3, 0, file, QStringLiteral("关闭本图"), QStringLiteral("关闭本图像窗体"),
             QStringLiteral("CLOSEME"), A::CloseMe, close},
            {2, 0, file, QStringLiteral("关闭全部"), QStringLiteral("关闭整个应用程序"),
             QStringLiteral("CLOSEALL"), A::CloseAll, close},
            {14, 0, file, QStringLiteral("新建"),
             QStringLiteral("新建一个程序窗体供其它图像作处理"), QStringLiteral("NEW"), A::New,
             close},
            {15, 0, file, QStringLiteral("复制本图"),
             QStringLiteral("再复制一份本图供其它处理使用"), QStringLiteral("COPYME"), A::CopyMe,
             close},
            {16, 0, edit, QStringLiteral("撤销"),
             QStringLiteral("撤销刚才的操作（剪裁、打马赛克等）"), QStringLiteral("UNDO"), A::Undo,
             close},
            {17, 0, edit, QStringLiteral("拷贝本图"), QStringLiteral("将本图拷贝到剪切板上"),
             QStringLiteral("COPY"), A::Copy, close},
            {18, 0, edit, QStringLiteral("粘贴图片"),
             QStringLiteral("将剪切板里的图片粘贴到程序里"), QStringLiteral("PASTE"), A::Paste,
             close},
            {19, 0, edit, QStringLiteral("清除本图"), QStringLiteral("清除目前打开的图片"),
             QStringLiteral("CLEAR"), A::Clear, close},
            {0, 1, none, QStringLiteral("确定"), QStringLiteral("点击调整图像尺寸"),
             QStringLiteral("CUSTSIZE"), A::CustomSize, After::CloseUnlessRefused},
            {1, 1, none, QStringLiteral("编辑列表"), QStringLiteral("编辑常用尺寸列表"),
             QStringLiteral("EDITSIZELIST"), A::EditSizeList, close},
            {20, 2, process, QStringLiteral("彩图灰度化"),
             QStringLiteral("将彩色的图像变成灰度图像"), QStringLiteral("GRAYPICTURE"), A::Gray,
             close},
            {21, 2, process, QStringLiteral("标注"),
             QStringLiteral("在图片上画框、箭头、文字、序号等标记"), QStringLiteral("ANNOTATE"),
             A::Annotate, close},
            {10, 2, rotate, QStringLiteral("顺时针90度"), none, QStringLiteral("ROTATE+90"),
             A::RotateCw, close},
            {11, 2, rotate, QStringLiteral("逆时针90度"), none, QStringLiteral("ROTATE-90"),
             A::RotateCcw, close},
            {13, 2, rotate, QStringLiteral("垂直翻转"), none, QStringLiteral("FLIPX"), A::FlipX,
             close},
            {12, 2, rotate, QStringLiteral("水平翻转"), none, QStringLiteral("FLIPY"), A::FlipY,
             close},
            {4, -1, none, QStringLiteral("设置"), none, QStringLiteral("SET"), A::Settings, close},
            {5, -1, none, QStringLiteral("帮助"), none, QStringLiteral("HELP"), A::Help, close},
            {-1, -1, none, none, none, QStringLiteral("ABOUT"), A::About, close},
        };
    }();
    return table;
}

const Command* Find(const QString& key) {
    for (const Command& c : Table()) {
        if (c.key == key) {
            return &c;
        }
    }
    return nullptr;
}

QStringList TabHeaders() {
    return {QStringLiteral("基本信息"), QStringLiteral("尺寸调整"), QStringLiteral("特别处理")};
}

}  // namespace MenuCommands
