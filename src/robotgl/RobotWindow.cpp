#include "robotgl/RobotWindow.h"

#include "robotgl/ViewDriver.h"
#include "robotview/PoseGestures.h"
#include "robotview/XSpace.h"

#include <QApplication>
#include <QImage>
#include <QMouseEvent>
#include <QOpenGLBuffer>
#include <QOpenGLShaderProgram>
#include <QOpenGLTexture>
#include <QOpenGLVertexArrayObject>
#include <QPainter>
#include <QVector2D>
#include <QVector4D>
#include <QSurfaceFormat>

#include <cmath>
#include <numbers>

namespace robotgl {

using robotview::Mat4;
using robotview::Vec3;

namespace {

// Algorithm of the scene's look: camera, projection, the one light and the ambient light.
const Vec3 kEyeX{0, 0, -600};       // the .x world's camera
const Vec3 kLightDirX{0, 0, 1};     // the light shines along the view
constexpr float kLightDiffuse = 0.85f;
constexpr float kAmbientLight = 25.0f / 255.0f;
constexpr float kNear = 0.5f, kFar = 5000.0f;
constexpr int kFrame = 5; // width of the outer frame that shows the window's state
const QColor kMarkColour(180, 180, 255);
const QColor kInnerSelected(89, 135, 179);
const QColor kInnerPlain(150, 150, 150);
const QColor kTextColour(255, 255, 0);
const robotview::Material kDefaultMaterial{};

const char* kVertexShader = R"(#version 330 core
layout(location = 0) in vec3 position;
layout(location = 1) in vec3 normal;
layout(location = 2) in vec2 uv;
uniform mat4 mvp;
uniform mat4 model;
out vec3 vNormal;
out vec2 vUv;
void main()
{
    vNormal = mat3(model) * normal;
    vUv = uv;
    gl_Position = mvp * vec4(position, 1.0);
}
)";

const char* kFragmentShader = R"(#version 330 core
in vec3 vNormal;
in vec2 vUv;
uniform vec4 diffuse;
uniform vec3 ambient;
uniform vec3 emissive;
uniform vec3 lightDir;
uniform float lightDiffuse;
uniform float ambientLight;
uniform bool lit;
uniform bool textured;
uniform sampler2D tex;
out vec4 colour;
void main()
{
    vec3 n = normalize(vNormal);
    vec3 c = ambient * ambientLight + emissive;
    if (lit)
        c += diffuse.rgb * lightDiffuse * max(dot(n, -lightDir), 0.0);
    vec4 result = vec4(min(c, vec3(1.0)), diffuse.a);
    if (textured)
        result *= texture(tex, vUv);
    if (result.a < 8.0 / 255.0)
        discard;
    colour = result;
}
)";

// Text is drawn once into an image (when it changes) and shown as one textured rectangle, so a
// frame costs no font work; rect is in window pixels from the top left.
const char* kTextVertexShader = R"(#version 330 core
uniform vec4 rect;
uniform vec2 viewport;
out vec2 vUv;
void main()
{
    vec2 corner = vec2(float(gl_VertexID & 1), float((gl_VertexID >> 1) & 1));
    vec2 p = rect.xy + corner * rect.zw;
    vUv = corner;
    gl_Position = vec4(p.x / viewport.x * 2.0 - 1.0, 1.0 - p.y / viewport.y * 2.0, 0.0, 1.0);
}
)";

const char* kTextFragmentShader = R"(#version 330 core
in vec2 vUv;
uniform sampler2D tex;
out vec4 colour;
void main()
{
    colour = texture(tex, vUv);
}
)";

robotview::MouseButton toButton(Qt::MouseButton b)
{
    switch (b) {
    case Qt::LeftButton:
        return robotview::MouseButton::Left;
    case Qt::RightButton:
        return robotview::MouseButton::Right;
    case Qt::MiddleButton:
        return robotview::MouseButton::Middle;
    default:
        return robotview::MouseButton::None;
    }
}

QList<RobotWindow*>& allWindows()
{
    static QList<RobotWindow*> windows;
    return windows;
}

} // namespace

struct RobotWindow::Gpu {
    QOpenGLShaderProgram program;
    QOpenGLVertexArrayObject vao;
    QOpenGLBuffer vertices{QOpenGLBuffer::VertexBuffer};
    QOpenGLBuffer indices{QOpenGLBuffer::IndexBuffer};
    struct Range {
        int firstIndex = 0;
        int count = 0;
        int baseVertex = 0;
    };
    std::vector<Range> meshes;                                  // like model().meshes()
    std::vector<std::unique_ptr<QOpenGLTexture>> textures;      // like model().materials()
    std::vector<Mat4> worlds;
    QOpenGLShaderProgram textProgram;
    QOpenGLVertexArrayObject textVao;
    std::unique_ptr<QOpenGLTexture> textTexture;
    QString textShown; // what textTexture holds
    QSize textSize;
    int locMvp = -1, locModel = -1, locDiffuse = -1, locAmbient = -1, locEmissive = -1, locLit = -1,
        locTextured = -1;
};

RobotWindow::RobotWindow(std::chrono::milliseconds period, const QString& profilePath, QWidget* parent)
    : QOpenGLWidget(parent)
{
    QSurfaceFormat format;
    format.setVersion(3, 3);
    format.setProfile(QSurfaceFormat::CoreProfile);
    format.setDepthBufferSize(24);
    setFormat(format);
    setMouseTracking(true);
    setFocusPolicy(Qt::ClickFocus);
    setMinimumSize(16, 16);

    model_.load(profilePath.toStdString());
    trackball_.setWindow(1, 1);
    if (model_.loaded())
        trackball_.setTranslationRadius(robotview::Trackball::kTranslationRadius);
    driver_ = &ViewDriver::shared();
    viewNumber_ = driver_->add(this, period);
    allWindows().append(this);
}

RobotWindow::~RobotWindow()
{
    allWindows().removeAll(this);
    for (RobotWindow* w : allWindows())
        if (w->hovered_ == this)
            w->hovered_ = nullptr;
    if (driver_)
        driver_->remove(viewNumber_);
    if (gpu_) {
        makeCurrent();
        gpu_.reset();
        doneCurrent();
    }
}

void RobotWindow::markChanged()
{
    if (driver_)
        driver_->markChanged(viewNumber_);
}

void RobotWindow::setLive(bool live)
{
    if (live_ == live)
        return;
    live_ = live;
    markChanged();
}

void RobotWindow::setCaption(const QString& caption)
{
    if (caption_ == caption)
        return;
    caption_ = caption;
    markChanged();
}

void RobotWindow::resetView()
{
    trackball_.reset();
    model_.resetWorld();
    markChanged();
}

void RobotWindow::tick()
{
    if (live_ && model_.step())
        markChanged();
    if (driver_ && driver_->takeChanged(viewNumber_))
        update();
}

void RobotWindow::initializeGL()
{
    if (!initializeOpenGLFunctions()) {
        // No renderer: the window draws nothing and needs no timer.
        rendererReady_ = false;
        if (driver_)
            driver_->remove(viewNumber_);
        driver_ = nullptr;
        return;
    }
    rendererName_ = QString::fromLatin1(reinterpret_cast<const char*>(glGetString(GL_RENDERER)));
    gpu_ = std::make_unique<Gpu>();
    Gpu& g = *gpu_;
    if (!g.program.addShaderFromSourceCode(QOpenGLShader::Vertex, kVertexShader) ||
        !g.program.addShaderFromSourceCode(QOpenGLShader::Fragment, kFragmentShader) || !g.program.link()) {
        gpu_.reset();
        return;
    }
    g.locMvp = g.program.uniformLocation("mvp");
    g.locModel = g.program.uniformLocation("model");
    g.locDiffuse = g.program.uniformLocation("diffuse");
    g.locAmbient = g.program.uniformLocation("ambient");
    g.locEmissive = g.program.uniformLocation("emissive");
    g.locLit = g.program.uniformLocation("lit");
    g.locTextured = g.program.uniformLocation("textured");

    // Every mesh of the scene goes into one vertex and one index buffer, once; a frame then only
    // sets its matrices.
    std::vector<float> vertexData;
    std::vector<std::uint32_t> indexData;
    for (const robotview::Mesh& mesh : model_.meshes()) {
        Gpu::Range r;
        r.firstIndex = static_cast<int>(indexData.size());
        r.count = static_cast<int>(mesh.indices.size());
        r.baseVertex = static_cast<int>(vertexData.size() / robotview::Mesh::kFloatsPerVertex);
        vertexData.insert(vertexData.end(), mesh.vertices.begin(), mesh.vertices.end());
        indexData.insert(indexData.end(), mesh.indices.begin(), mesh.indices.end());
        g.meshes.push_back(r);
    }
    g.vao.create();
    QOpenGLVertexArrayObject::Binder bind(&g.vao);
    g.vertices.create();
    g.vertices.bind();
    g.vertices.allocate(vertexData.data(), static_cast<int>(vertexData.size() * sizeof(float)));
    g.indices.create();
    g.indices.bind();
    g.indices.allocate(indexData.data(), static_cast<int>(indexData.size() * sizeof(std::uint32_t)));
    const int stride = robotview::Mesh::kFloatsPerVertex * static_cast<int>(sizeof(float));
    g.program.bind();
    g.program.enableAttributeArray(0);
    g.program.setAttributeBuffer(0, GL_FLOAT, 0, 3, stride);
    g.program.enableAttributeArray(1);
    g.program.setAttributeBuffer(1, GL_FLOAT, 3 * sizeof(float), 3, stride);
    g.program.enableAttributeArray(2);
    g.program.setAttributeBuffer(2, GL_FLOAT, 6 * sizeof(float), 2, stride);
    g.program.setUniformValue("tex", 0);
    g.program.setUniformValue("lightDiffuse", kLightDiffuse);
    g.program.setUniformValue("ambientLight", kAmbientLight);
    const Vec3 light = robotview::xspace::directionFromX(kLightDirX);
    g.program.setUniformValue("lightDir", light.x, light.y, light.z);
    g.program.release();

    if (!g.textProgram.addShaderFromSourceCode(QOpenGLShader::Vertex, kTextVertexShader) ||
        !g.textProgram.addShaderFromSourceCode(QOpenGLShader::Fragment, kTextFragmentShader) ||
        !g.textProgram.link()) {
        gpu_.reset();
        return;
    }
    g.textVao.create();

    for (const robotview::Material& m : model_.materials()) {
        std::unique_ptr<QOpenGLTexture> texture;
        QImage image;
        if (!m.texturePath.empty() && image.load(QString::fromStdString(m.texturePath))) {
            texture = std::make_unique<QOpenGLTexture>(image.mirrored());
            texture->setMinificationFilter(QOpenGLTexture::Linear);
            texture->setMagnificationFilter(QOpenGLTexture::Linear);
        }
        g.textures.push_back(std::move(texture));
    }
    rendererReady_ = true;
}

void RobotWindow::resizeGL(int w, int h)
{
    trackball_.setWindow(w, h);
    markChanged();
}

void RobotWindow::paintGL()
{
    ++framesDrawn_;
    if (!rendererReady_)
        return;
    const int w = width(), h = height();
    const qreal dpr = devicePixelRatioF();
    const int fw = static_cast<int>(std::lround(w * dpr)), fh = static_cast<int>(std::lround(h * dpr));
    auto clearRect = [&](int x, int y, int rw, int rh, const QColor& c) {
        // Rectangles are given in window pixels from the top left; GL counts from the bottom.
        glEnable(GL_SCISSOR_TEST);
        glScissor(static_cast<int>(x * dpr), static_cast<int>((h - y - rh) * dpr), static_cast<int>(rw * dpr),
                  static_cast<int>(rh * dpr));
        glClearColor(c.redF(), c.greenF(), c.blueF(), 1);
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        glDisable(GL_SCISSOR_TEST);
    };
    glViewport(0, 0, fw, fh);
    glDisable(GL_SCISSOR_TEST);
    clearRect(0, 0, w, h, outerFrameDark() ? Qt::black : Qt::white);
    switch (dropMark()) {
    case static_cast<int>(robotview::DropZone::Into):
        clearRect(0, 0, w, h, kMarkColour);
        break;
    case static_cast<int>(robotview::DropZone::After):
        clearRect(w - kFrame, 0, kFrame, h, kMarkColour);
        break;
    case static_cast<int>(robotview::DropZone::Before):
        clearRect(0, 0, kFrame, h, kMarkColour);
        break;
    default:
        break;
    }
    clearRect(kFrame, kFrame, std::max(w - 2 * kFrame, 0), std::max(h - 2 * kFrame, 0),
              innerSelected() ? kInnerSelected : kInnerPlain);

    if (live_ && model_.loaded() && gpu_) {
        Gpu& g = *gpu_;
        glEnable(GL_DEPTH_TEST);
        glDepthFunc(GL_LEQUAL);
        glDepthMask(GL_TRUE);
        glEnable(GL_BLEND);
        glBlendFunc(GL_ONE, GL_ZERO);
        glEnable(GL_CULL_FACE);
        glCullFace(GL_BACK);
        glFrontFace(GL_CW); // the .x files' front faces, as seen on the screen
        glPolygonMode(GL_FRONT_AND_BACK, GL_FILL);
        const Mat4 view = robotview::lookAt(robotview::xspace::pointFromX(kEyeX), {0, 0, 0}, {0, 1, 0});
        const Mat4 projection = robotview::perspective(std::numbers::pi_v<float> / 4,
                                                       h > 0 ? static_cast<float>(w) / h : 1.0f, kNear, kFar);
        const Mat4 viewProjection = projection * view;
        model_.frameWorlds(g.worlds);
        g.program.bind();
        QOpenGLVertexArrayObject::Binder bind(&g.vao);
        glUniform1i(g.locLit, lightOn() ? 1 : 0);
        const auto& frames = model_.frames();
        const auto& meshes = model_.meshes();
        const auto& materials = model_.materials();
        for (size_t f = 0; f < frames.size(); ++f) {
            if (frames[f].meshes.empty())
                continue;
            const Mat4 mvp = viewProjection * g.worlds[f];
            glUniformMatrix4fv(g.locMvp, 1, GL_FALSE, mvp.data());
            glUniformMatrix4fv(g.locModel, 1, GL_FALSE, g.worlds[f].data());
            for (int m : frames[f].meshes) {
                const int mat = meshes[static_cast<size_t>(m)].material;
                const robotview::Material& material =
                    mat >= 0 ? materials[static_cast<size_t>(mat)] : kDefaultMaterial;
                glUniform4fv(g.locDiffuse, 1, material.diffuse.data());
                glUniform3fv(g.locAmbient, 1, material.ambient.data());
                glUniform3fv(g.locEmissive, 1, material.emissive.data());
                QOpenGLTexture* texture = mat >= 0 ? g.textures[static_cast<size_t>(mat)].get() : nullptr;
                glUniform1i(g.locTextured, texture ? 1 : 0);
                if (texture)
                    texture->bind(0);
                const Gpu::Range& r = g.meshes[static_cast<size_t>(m)];
                glDrawElementsBaseVertex(GL_TRIANGLES, r.count, GL_UNSIGNED_INT,
                                         reinterpret_cast<void*>(static_cast<std::uintptr_t>(r.firstIndex) *
                                                                 sizeof(std::uint32_t)),
                                         r.baseVertex);
            }
        }
        g.program.release();
        glDisable(GL_CULL_FACE);
        glDisable(GL_DEPTH_TEST);
        glDisable(GL_BLEND);
    }

    const QString text = live_ ? shownCaption() : QStringLiteral("Connect KZ-7!");
    if (!text.isEmpty() && gpu_) {
        Gpu& g = *gpu_;
        if (!g.textTexture || g.textShown != text) {
            QFont font = QApplication::font();
            font.setPointSize(12);
            font.setBold(true);
            const QFontMetrics metrics(font);
            g.textSize = QSize(metrics.horizontalAdvance(text) + 2, metrics.height());
            QImage image(g.textSize, QImage::Format_RGBA8888_Premultiplied);
            image.fill(Qt::transparent);
            QPainter painter(&image);
            painter.setFont(font);
            painter.setPen(kTextColour);
            painter.drawText(QPoint(0, metrics.ascent()), text);
            painter.end();
            g.textTexture = std::make_unique<QOpenGLTexture>(QOpenGLTexture::Target2D);
            g.textTexture->setFormat(QOpenGLTexture::RGBA8_UNorm);
            g.textTexture->setData(image, QOpenGLTexture::DontGenerateMipMaps);
            g.textTexture->setMinificationFilter(QOpenGLTexture::Nearest);
            g.textTexture->setMagnificationFilter(QOpenGLTexture::Nearest);
            g.textShown = text;
        }
        // The caption at the top left. The offline text is centred: the rule "half the width less
        // four pixels a character" assumed a font eight pixels a character wide, so half the width
        // of the text in the font actually chosen takes its place.
        const QPoint at = live_ ? QPoint(kFrame, kFrame) : QPoint(w / 2 - g.textSize.width() / 2, h / 2);
        glEnable(GL_BLEND);
        glBlendFunc(GL_ONE, GL_ONE_MINUS_SRC_ALPHA);
        g.textProgram.bind();
        g.textProgram.setUniformValue("rect", QVector4D(at.x(), at.y(), g.textSize.width(), g.textSize.height()));
        g.textProgram.setUniformValue("viewport", QVector2D(w, h));
        g.textProgram.setUniformValue("tex", 0);
        g.textTexture->bind(0);
        QOpenGLVertexArrayObject::Binder bind(&g.textVao);
        glDrawArrays(GL_TRIANGLE_STRIP, 0, 4);
        g.textProgram.release();
        glDisable(GL_BLEND);
    }
}

bool RobotWindow::passToTrackball(robotview::MouseAction action, Qt::MouseButton button, const QPoint& pos,
                                  Qt::KeyboardModifiers modifiers)
{
    if (!live_)
        return false;
    robotview::MouseInput in;
    in.action = action;
    in.button = toButton(button);
    in.x = pos.x();
    in.y = pos.y();
    in.shift = modifiers.testFlag(Qt::ShiftModifier);
    if (!trackball_.handle(in))
        return false;
    model_.setWorld(trackball_.world());
    markChanged();
    return true;
}

RobotWindow* RobotWindow::windowAt(const QPointF& globalPos)
{
    for (RobotWindow* w : allWindows()) {
        if (!w->isVisible() || w->window() != window())
            continue;
        if (w->rect().contains(w->mapFromGlobal(globalPos.toPoint())))
            return w;
    }
    return nullptr;
}

void RobotWindow::hoverOther(RobotWindow* target, const QPoint& globalPos, Qt::MouseButtons buttons)
{
    // The window that took the press holds the pointer until release; the window under the
    // pointer still sees the drag go over it, and sees it leave.
    RobotWindow* other = target == this ? nullptr : target;
    if (hovered_ && hovered_ != other)
        hovered_->leaveEvent(nullptr);
    hovered_ = other;
    if (other)
        other->gestureMove(other->mapFromGlobal(globalPos), buttons);
}

void RobotWindow::mousePressEvent(QMouseEvent* e)
{
    passToTrackball(robotview::MouseAction::Press, e->button(), e->position().toPoint(), e->modifiers());
    gesturePress(e);
}

void RobotWindow::mouseMoveEvent(QMouseEvent* e)
{
    passToTrackball(robotview::MouseAction::Move, Qt::NoButton, e->position().toPoint(), e->modifiers());
    const QPoint global = e->globalPosition().toPoint();
    if (e->buttons() != Qt::NoButton) {
        RobotWindow* target = windowAt(e->globalPosition());
        hoverOther(target, global, e->buttons());
        if (target != this) {
            if (!pointerAway_) {
                pointerAway_ = true;
                leaveEvent(nullptr);
            }
            return;
        }
    }
    pointerAway_ = false;
    gestureMove(e->position().toPoint(), e->buttons());
}

void RobotWindow::mouseReleaseEvent(QMouseEvent* e)
{
    passToTrackball(robotview::MouseAction::Release, e->button(), e->position().toPoint(), e->modifiers());
    RobotWindow* target = windowAt(e->globalPosition());
    hovered_ = nullptr;
    pointerAway_ = false;
    if (target)
        target->gestureRelease(target->mapFromGlobal(e->globalPosition().toPoint()), e->button(), e->modifiers());
}

void RobotWindow::mouseDoubleClickEvent(QMouseEvent* e)
{
    // The second press of a double-click is the double-click itself, not another press.
    passToTrackball(robotview::MouseAction::Press, e->button(), e->position().toPoint(), e->modifiers());
    gestureDoubleClick(e);
}

void RobotWindow::leaveEvent(QEvent*)
{
    if (live_)
        trackball_.endDrag();
    gestureLeave();
}

} // namespace robotgl
