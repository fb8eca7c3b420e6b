// The slide surface (offscreen) at 1920×1080 with 200 objects — pictures, texts and shapes —:
// painting the whole slide, and dragging one object across it (the repaint of each move).
// Beside it, in the same run, the gradient background alone.
//
//   QT_QPA_PLATFORM=offscreen build/ci/bench/bench_slide_surface
#include "AT_DbClearbook.h"
#include "Connection.h"
#include "EditedSlide.h"
#include "ObjectKinds.h"
#include "SlideBack.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QImage>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <vector>

using namespace vk;

int main(int argc, char *argv[])
{
    qputenv("QT_QPA_PLATFORM",
            qgetenv("QT_QPA_PLATFORM").isEmpty() ? "offscreen" : qgetenv("QT_QPA_PLATFORM"));
    QApplication app(argc, argv);
    QTemporaryDir dir;
    QImage photo(640, 480, QImage::Format_RGB32);
    for (int y = 0; y < photo.height(); ++y)
        for (int x = 0; x < photo.width(); ++x)
            photo.setPixel(x, y, qRgb(x % 256, y % 256, (x + y) % 256));
    const QString picture = dir.filePath("photo.png");
    photo.save(picture);

    Connection connection; // nothing here is stored
    TDbClearBookList books(connection);
    books.DesignScale = 1920 / 800.0;
    auto *cb = new TDbClearBook;
    cb->Rec.CB_Id = 1;
    books.ClearBooks.append(cb);
    EditedSlide edited(books);
    TDbSlide *slide = edited.openNew(cb, "bench", QString());
    slide->Rec.Slide_BColor = "clNavy";
    slide->Rec.Slide_Gradient = 1;

    TSlideBack surface(edited);
    surface.SurfaceZoom = 100;
    surface.resize(1920, 1080);
    surface.show();
    const QString text =
        QStringLiteral("Font_Name=Sans\r\nFont_Size=14\r\nFont_Color=16777215\r\nFont_Style=0,\r\n"
                       "Transparent=True\r\nColor=0\r\nDisableFlag=False\r\n");
    const QString shape =
        QStringLiteral("PenColor=clRed\r\nBrushColor=clYellow\r\nPenStyle=0\r\nBrushStyle=0\r\n"
                       "PenWidth=3\r\nDisableFlag=False\r\nWithTouch=False\r\nArrow=0\r\n");
    for (int i = 0; i < 200; ++i) {
        TsObject r;
        r.Bar_Left = 0;
        r.Bar_Width = 1200;
        r.Left = (i * 97) % 1800;
        r.Top = (i * 53) % 1000;
        r.Width = 120;
        r.Height = 80;
        r.Left_S = r.Left;
        r.Top_S = r.Top;
        r.Width_S = r.Width;
        r.Height_S = r.Height;
        switch (i % 3) {
        case 0:
            r.Obj_TypeId = 5;
            r.Obj_Media = picture;
            r.Title = QStringLiteral("photo %1").arg(i);
            break;
        case 1:
            r.Obj_TypeId = ObjectKind::Text;
            r.Caption = QStringLiteral("A line of text %1").arg(i);
            r.Spec_Property2 = text;
            break;
        default:
            r.Obj_TypeId = i % 2 ? ObjectKind::Ellipse : ObjectKind::RoundRectangle;
            r.Spec_Property2 = shape;
            break;
        }
        edited.requestAddObject(r);
    }
    surface.ShowSlide(slide);

    // Each frame is painted in full into an image, as an exposed window would be.
    QImage frame(1920, 1080, QImage::Format_RGB32);
    auto time = [&surface, &frame] {
        QElapsedTimer t;
        t.start();
        surface.QWidget::render(&frame);
        return t.nsecsElapsed() / 1e6;
    };
    time(); // the first paint warms the caches
    std::vector<double> whole;
    for (int i = 0; i < 20; ++i)
        whole.push_back(time());
    // One object dragged across the slide, 5 pixels a move.
    TDbObject *moving = slide->Objects.Objects[100];
    edited.selectOnly(moving);
    std::vector<double> moves;
    for (int i = 0; i < 200; ++i) {
        surface.MoveSelection(5, 2);
        moves.push_back(time());
    }
    // The background alone.
    TGradientPanel panel;
    panel.resize(1920, 1080);
    panel.setBeginColor(0x800000);
    panel.setEndColor(clWhite);
    panel.show();
    std::vector<double> background;
    for (int i = 0; i < 20; ++i) {
        QElapsedTimer t;
        t.start();
        panel.QWidget::render(&frame);
        background.push_back(t.nsecsElapsed() / 1e6);
    }
    auto median = [](std::vector<double> v) {
        std::sort(v.begin(), v.end());
        return v[v.size() / 2];
    };
    std::printf("slide surface, 1920x1080, 200 objects (offscreen)\n");
    std::printf("  whole slide paint      median %7.2f ms, longest %7.2f ms   (background alone: %7.2f ms)\n",
                median(whole), *std::max_element(whole.begin(), whole.end()), median(background));
    std::printf("  one object dragged     median %7.2f ms, longest %7.2f ms a move\n", median(moves),
                *std::max_element(moves.begin(), moves.end()));
    return 0;
}
