#pragma once
// What the main 3D view and the pose panels share: a window with its own robot model, camera
// and trackball, drawing the outer frame, the inner area, the model and the text with OpenGL 3.3.
// The windows are paced by one shared timer (ViewDriver) and drawn only when something they
// show changed.
//
// A window draws into a frame buffer of its own in the one context all robot windows share and
// shows the picture as a plain widget. A GL widget would instead have the whole top-level window
// composed again on every frame of any of the eight windows, which under a software renderer
// costs more than all the robots together.

#include "robotview/RobotModel.h"
#include "robotview/Trackball.h"

#include <QImage>
#include <QOpenGLFunctions_3_3_Core>
#include <QPointer>
#include <QString>
#include <QWidget>

#include <chrono>
#include <functional>
#include <memory>
#include <vector>

namespace robotgl {

class ViewDriver;

class RobotWindow : public QWidget, protected QOpenGLFunctions_3_3_Core {
    Q_OBJECT
  public:
    // Reads the profile and its model now; a failure leaves the window running without a model
    // (loadError() says why).
    RobotWindow(std::chrono::milliseconds period, const QString& profilePath, QWidget* parent);
    // Starts from a model already read (loaded or not), so that windows showing the same robot
    // read its files once.
    RobotWindow(std::chrono::milliseconds period, const robotview::RobotModel& model, QWidget* parent);
    ~RobotWindow() override;

    // The window's robot. Joint targets are set here (model().setJointTarget(id, value)); the
    // window follows them on its next ticks while live.
    robotview::RobotModel& model() { return model_; }
    const robotview::RobotModel& model() const { return model_; }
    bool modelLoaded() const { return model_.loaded(); }
    QString loadError() const { return QString::fromStdString(model_.loadError()); }

    virtual void setLive(bool live);
    bool live() const { return live_; }
    void setCaption(const QString& caption);
    QString caption() const { return caption_; }
    // Draws the part a joint turns in the limp colour (its servo has no torque), or as its
    // material says again.
    void setJointLimp(int id, bool limp);
    // The trackball returns to no rotation and no translation; joints keep their values.
    void resetView();
    const robotview::Trackball& trackball() const { return trackball_; }

    // GL_RENDERER of the shared context, empty before the window is first drawn.
    QString rendererName() const { return rendererName_; }
    // The window's picture as it is shown, drawn now if something in it changed.
    QImage grabFramebuffer();
    // One tick: the animation step while live, then a redraw when something shown changed.
    void tick();
    // The two halves of a tick, which the shared timer calls separately: the step at the
    // window's own rate, the redraw on the ticks where windows are drawn.
    void stepAnimation();
    void redrawIfChanged();
    // Number of frames drawn since creation.
    int framesDrawn() const { return framesDrawn_; }

  protected:
    // What a subclass draws differently.
    virtual bool outerFrameDark() const = 0;
    virtual bool innerSelected() const { return true; }
    virtual bool lightOn() const { return true; }
    // The drop-zone mark, if any: 0 none, else a DropZone value.
    virtual int dropMark() const { return 0; }
    // The caption drawn at the top left while live.
    virtual QString shownCaption() const { return caption_; }

    // Gesture handling after the trackball has seen the event. pos is in this window's pixels;
    // for a drag that started in another robot window, the events reach the window under the
    // pointer through these (the starting window holds the mouse grab).
    virtual void gesturePress(QMouseEvent*) {}
    virtual void gestureMove(const QPoint&, Qt::MouseButtons) {}
    virtual void gestureRelease(const QPoint&, Qt::MouseButton, Qt::KeyboardModifiers) {}
    virtual void gestureDoubleClick(QMouseEvent*) {}
    virtual void gestureLeave() {}

    // Something this window shows changed: draw it on its next tick.
    void markChanged();
    // Sets a field the drawing reads, marking the window changed when the value is new.
    template <typename T> void setShownField(T& field, const T& value)
    {
        if (field != value)
            markChanged();
        field = value;
    }

    void paintEvent(QPaintEvent* e) override;
    void resizeEvent(QResizeEvent* e) override;
    void mousePressEvent(QMouseEvent* e) override;
    void mouseMoveEvent(QMouseEvent* e) override;
    void mouseReleaseEvent(QMouseEvent* e) override;
    void mouseDoubleClickEvent(QMouseEvent* e) override;
    void leaveEvent(QEvent* e) override;

  private:
    struct Gpu;
    struct TextImage;
    // Draws text (wrapped to wrapWidth pixels, without smoothing, when wrapWidth is not 0) at the
    // top-left corner place() gives for its size.
    void drawText(TextImage& t, const QString& text, int wrapWidth,
                  const std::function<QPoint(QSize)>& place);
    // Draws the picture into the window's frame buffer and reads it back into frame_.
    void render();
    bool initializeGpu();
    void drawScene(int pixelWidth, int pixelHeight, qreal dpr);
    RobotWindow* windowAt(const QPointF& globalPos);
    bool passToTrackball(robotview::MouseAction action, Qt::MouseButton button, const QPoint& pos,
                         Qt::KeyboardModifiers modifiers);
    void hoverOther(RobotWindow* target, const QPoint& globalPos, Qt::MouseButtons buttons);

    robotview::RobotModel model_;
    robotview::Trackball trackball_;
    std::unique_ptr<Gpu> gpu_;
    QPointer<ViewDriver> driver_; // gone at the end of the application, before a leaked window
    int viewNumber_ = -1;
    bool live_ = false;
    QString caption_;
    bool rendererReady_ = false;
    QString rendererName_;
    int framesDrawn_ = 0;
    std::vector<int> limpFrames_; // per frame: 1 when drawn limp
    QImage frame_;                // the last picture drawn, shown by paintEvent
    bool stale_ = true;           // frame_ no longer shows what the window shows
    bool gpuTried_ = false;
    RobotWindow* hovered_ = nullptr; // another window the grabbed pointer is over
    bool pointerAway_ = false;       // the grabbed pointer has left this window
};

} // namespace robotgl
