#include "robotgl/ViewDriver.h"

#include "robotgl/RobotWindow.h"

#include <QCoreApplication>
#include <QOffscreenSurface>
#include <QOpenGLContext>
#include <QSurfaceFormat>

namespace robotgl {

namespace {
ViewDriver* sharedDriver = nullptr;
}

ViewDriver& ViewDriver::shared()
{
    if (!sharedDriver) {
        sharedDriver = new ViewDriver(QCoreApplication::instance());
        QObject::connect(sharedDriver, &QObject::destroyed, [] { sharedDriver = nullptr; });
    }
    return *sharedDriver;
}

ViewDriver::ViewDriver(QObject* parent) : QObject(parent)
{
    timer_.setTimerType(Qt::PreciseTimer);
    connect(&timer_, &QTimer::timeout, this, &ViewDriver::tickDue);
}

ViewDriver::~ViewDriver() = default;

bool ViewDriver::makeContextCurrent()
{
    if (!contextTried_) {
        contextTried_ = true;
        QSurfaceFormat format;
        format.setVersion(3, 3);
        format.setProfile(QSurfaceFormat::CoreProfile);
        format.setDepthBufferSize(24);
        auto context = std::make_unique<QOpenGLContext>();
        context->setFormat(format);
        auto surface = std::make_unique<QOffscreenSurface>();
        surface->setFormat(format);
        surface->create();
        if (context->create() && surface->isValid() && context->format().version() >= qMakePair(3, 3)) {
            context_ = std::move(context);
            surface_ = std::move(surface);
        }
    }
    return context_ && context_->makeCurrent(surface_.get());
}

int ViewDriver::add(RobotWindow* window, std::chrono::milliseconds period)
{
    const int view = scheduler_.addView(period, robotview::ViewScheduler::Clock::now());
    windows_.resize(static_cast<size_t>(view) + 1, nullptr);
    windows_[static_cast<size_t>(view)] = window;
    timer_.setInterval(scheduler_.interval());
    if (runningWanted_ && !timer_.isActive())
        timer_.start();
    return view;
}

void ViewDriver::remove(int view)
{
    if (view < 0 || view >= static_cast<int>(windows_.size()))
        return;
    windows_[static_cast<size_t>(view)] = nullptr;
    scheduler_.removeView(view);
    bool any = false;
    for (RobotWindow* w : windows_)
        any = any || w;
    if (!any)
        timer_.stop();
}

void ViewDriver::setRunning(bool running)
{
    runningWanted_ = running;
    if (!running)
        timer_.stop();
    else if (!timer_.isActive())
        timer_.start(scheduler_.interval());
}

void ViewDriver::tickDue()
{
    const auto tick = scheduler_.nextTick(robotview::ViewScheduler::Clock::now());
    for (int view : tick.step)
        if (RobotWindow* w = windows_[static_cast<size_t>(view)])
            w->stepAnimation();
    if (tick.draw)
        for (RobotWindow* w : windows_)
            if (w)
                w->redrawIfChanged();
}

} // namespace robotgl
