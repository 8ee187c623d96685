#include "robotgl/RobotWindow.h"

#include "robotgl/ViewDriver.h"
#include "robotview/PoseGestures.h"
#include "robotview/XSpace.h"

#include <QApplication>
#include <QImage>
#include <QMouseEvent>
#include <QOpenGLBuffer>
#include <QOpenGLContext>
#include <QOpenGLFramebufferObject>
#include <QOpenGLShaderProgram>
#include <QOpenGLTexture>
#include <QOpenGLVertexArrayObject>
#include <QPainter>
#include <QVector2D>
#include <QVector4D>

#include <algorithm>
#include <cmath>
#include <functional>
#include <map>
#include <numbers>

namespace robotgl {

using robotview::Mat4;
using robotview::Vec3;

namespace {

// Algorithm of the scene's look: camera, projection, the one light and the ambient light.
const Vec3 kEyeX{0, 0, -600};   // the .x world's camera
const Vec3 kLightDirX{0, 0, 1}; // the light shines along the view
constexpr float kLightDiffuse = 0.85f;
constexpr float kAmbientLight = 25.0f / 255.0f;
constexpr float kNear = 0.5f, kFar = 5000.0f;
constexpr int kFrame = 5; // width of the outer frame that shows the window's state
const QColor kMarkColour(180, 180, 255);
const QColor kInnerSelected(89, 135, 179);
const QColor kInnerPlain(150, 150, 150);
const QColor kTextColour(255, 255, 0);
const robotview::Material kDefaultMaterial{};

// Every vertex carries its material and the number of its frame; a frame's world matrix comes
// from one array, so the whole robot is one draw call and a new pose only changes the array.
constexpr int kFramesPerBatch = 64;  // the array fits the smallest vertex uniform space GL 3.3 gives
constexpr int kFloatsPerVertex = 19; // position 3, normal 3, uv 2, frame 1, diffuse 4, ambient 3, emissive 3

const char* kVertexShader = R"(#version 330 core
layout(location = 0) in vec3 position;
layout(location = 1) in vec3 normal;
layout(location = 2) in vec2 uv;
layout(location = 3) in float frame;
layout(location = 4) in vec4 diffuse;
layout(location = 5) in vec3 ambient;
layout(location = 6) in vec3 emissive;
uniform mat4 viewProjection;
uniform mat4 frames[64];
out vec3 vNormal;
out vec2 vUv;
out vec4 vDiffuse;
out vec3 vAmbient;
out vec3 vEmissive;
flat out int vFrame;
void main()
{
    vFrame = int(frame + 0.5);
    mat4 world = frames[vFrame];
    vNormal = mat3(world) * normal;
    vUv = uv;
    vDiffuse = diffuse;
    vAmbient = ambient;
    vEmissive = emissive;
    gl_Position = viewProjection * world * vec4(position, 1.0);
}
)";

const char* kFragmentShader = R"(#version 330 core
in vec3 vNormal;
in vec2 vUv;
in vec4 vDiffuse;
in vec3 vAmbient;
in vec3 vEmissive;
flat in int vFrame;
uniform int limp[64];
uniform vec3 lightDir;
uniform float lightDiffuse;
uniform float ambientLight;
uniform bool lit;
uniform bool textured;
uniform sampler2D tex;
out vec4 colour;
const vec3 kLimpColour = vec3(0.80, 0.62, 1.0); // a joint without torque: pale violet
void main()
{
    vec3 n = normalize(vNormal);
    vec3 c = vAmbient * ambientLight + vEmissive;
    if (lit)
        c += vDiffuse.rgb * lightDiffuse * max(dot(n, -lightDir), 0.0);
    if (limp[vFrame] != 0)
        c = mix(c, kLimpColour * (0.35 + 0.65 * max(dot(n, -lightDir), 0.0)), 0.75);
    vec4 result = vec4(min(c, vec3(1.0)), vDiffuse.a);
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

// A text drawn once into an image (when it changes) and shown as one textured rectangle.
struct RobotWindow::TextImage {
    std::unique_ptr<QOpenGLTexture> texture;
    QString shown; // what texture holds, with the width it was wrapped to
    QSize size;
};

struct RobotWindow::Gpu {
    QOpenGLShaderProgram program;
    QOpenGLVertexArrayObject vao;
    QOpenGLBuffer vertices{QOpenGLBuffer::VertexBuffer};
    QOpenGLBuffer indices{QOpenGLBuffer::IndexBuffer};
    // The meshes of up to kFramesPerBatch consecutive frames that share a texture.
    struct Batch {
        int firstIndex = 0;
        int count = 0;
        int firstFrame = 0;
        int frameCount = 0;
        QOpenGLTexture* texture = nullptr;
    };
    std::vector<Batch> batches;
    std::vector<std::unique_ptr<QOpenGLTexture>> textures; // like model().materials()
    std::vector<Mat4> worlds;
    QOpenGLShaderProgram textProgram;
    QOpenGLVertexArrayObject textVao;
    TextImage caption;                                // the caption, or the offline text
    TextImage error;                                  // why the model could not be read
    std::unique_ptr<QOpenGLFramebufferObject> target; // the window's picture, window-sized
    int locViewProjection = -1, locFrames = -1, locLit = -1, locTextured = -1, locLimp = -1;
};

RobotWindow::RobotWindow(std::chrono::milliseconds period, const QString& profilePath, QWidget* parent)
    : RobotWindow(period, robotview::RobotModel::read(profilePath.toStdString()), parent)
{
}

RobotWindow::RobotWindow(std::chrono::milliseconds period, const robotview::RobotModel& model,
                         QWidget* parent)
    : QWidget(parent), model_(model)
{
    // The picture covers every pixel, so Qt need not clear behind it.
    setAttribute(Qt::WA_OpaquePaintEvent);
    setMouseTracking(true);
    // The windows take the focus themselves, only when a gesture starts (a press that starts a
    // drag or presses a panel), so that a refused click does not release another panel.
    setFocusPolicy(Qt::NoFocus);
    setMinimumSize(16, 16);

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
    // Without the shared context (it went first) the GL objects went with it.
    if (gpu_ && driver_ && driver_->makeContextCurrent())
        gpu_.reset();
    else
        (void)gpu_.release();
}

void RobotWindow::markChanged()
{
    // A grab shows it at once; the screen shows it on the window's next drawing tick.
    stale_ = true;
    if (driver_ && viewNumber_ >= 0)
        driver_->markChanged(viewNumber_);
}

void RobotWindow::setLive(bool live)
{
    setShownField(live_, live);
}

void RobotWindow::setCaption(const QString& caption)
{
    setShownField(caption_, caption);
}

void RobotWindow::setJointLimp(int id, bool limp)
{
    const auto& joints = model_.profile().joints();
    limpFrames_.resize(model_.frames().size(), 0);
    for (int i = 0; i < static_cast<int>(joints.size()); ++i) {
        const int frame = model_.jointFrame(i);
        if (joints[static_cast<size_t>(i)].id != id || frame < 0)
            continue;
        int& flag = limpFrames_[static_cast<size_t>(frame)];
        if (flag != static_cast<int>(limp))
            markChanged();
        flag = limp ? 1 : 0;
    }
}

void RobotWindow::resetView()
{
    trackball_.reset();
    model_.resetWorld();
    markChanged();
}

void RobotWindow::tick()
{
    stepAnimation();
    redrawIfChanged();
}

void RobotWindow::stepAnimation()
{
    if (live_ && model_.step())
        markChanged();
}

void RobotWindow::redrawIfChanged()
{
    // The change made the picture stale; a grab since then may have drawn it already.
    if (driver_ && viewNumber_ >= 0 && driver_->takeChanged(viewNumber_))
        update();
}

QImage RobotWindow::grabFramebuffer()
{
    if (stale_)
        render();
    return frame_;
}

void RobotWindow::paintEvent(QPaintEvent*)
{
    // The picture is drawn here, when Qt paints, so that every window that changed is drawn in
    // the same pass and the top-level window is flushed once for all of them.
    if (stale_ || frame_.size() != size() * devicePixelRatioF())
        render();
    QPainter painter(this);
    if (frame_.isNull())
        painter.fillRect(rect(), kInnerPlain); // no renderer: the bare inner colour
    else
        painter.drawImage(QPoint(0, 0), frame_);
}

void RobotWindow::resizeEvent(QResizeEvent*)
{
    trackball_.setWindow(width(), height());
    markChanged();
}

void RobotWindow::render()
{
    stale_ = false;
    ++framesDrawn_;
    if (!driver_ || !driver_->makeContextCurrent()) {
        frame_ = QImage();
        return;
    }
    if (!gpuTried_) {
        gpuTried_ = true;
        rendererReady_ = initializeGpu();
        if (!rendererReady_) {
            // No renderer: the window draws nothing and needs no timer.
            driver_->remove(viewNumber_);
            viewNumber_ = -1;
        }
    }
    if (!rendererReady_) {
        frame_ = QImage();
        return;
    }
    const qreal dpr = devicePixelRatioF();
    const QSize pixels(std::max(1, static_cast<int>(std::lround(width() * dpr))),
                       std::max(1, static_cast<int>(std::lround(height() * dpr))));
    Gpu& g = *gpu_;
    if (!g.target || g.target->size() != pixels)
        g.target = std::make_unique<QOpenGLFramebufferObject>(pixels, QOpenGLFramebufferObject::Depth);
    if (!g.target->isValid()) {
        frame_ = QImage();
        return;
    }
    g.target->bind();
    drawScene(pixels.width(), pixels.height(), dpr);
    // Read back as 0xAARRGGBB words, the layout the widget's backing store has, bottom row first.
    if (frame_.size() != pixels)
        frame_ = QImage(pixels, QImage::Format_RGB32);
    glPixelStorei(GL_PACK_ALIGNMENT, 4);
    glPixelStorei(GL_PACK_ROW_LENGTH, static_cast<GLint>(frame_.bytesPerLine() / 4));
    glReadPixels(0, 0, pixels.width(), pixels.height(), GL_BGRA, GL_UNSIGNED_INT_8_8_8_8_REV, frame_.bits());
    glPixelStorei(GL_PACK_ROW_LENGTH, 0);
    g.target->release();
    frame_.mirror(false, true);
    frame_.setDevicePixelRatio(dpr);
}

bool RobotWindow::initializeGpu()
{
    if (!initializeOpenGLFunctions())
        return false;
    rendererName_ = QString::fromLatin1(reinterpret_cast<const char*>(glGetString(GL_RENDERER)));
    gpu_ = std::make_unique<Gpu>();
    Gpu& g = *gpu_;
    if (!g.program.addShaderFromSourceCode(QOpenGLShader::Vertex, kVertexShader) ||
        !g.program.addShaderFromSourceCode(QOpenGLShader::Fragment, kFragmentShader) || !g.program.link()) {
        gpu_.reset();
        return false;
    }
    g.locViewProjection = g.program.uniformLocation("viewProjection");
    g.locFrames = g.program.uniformLocation("frames");
    g.locLit = g.program.uniformLocation("lit");
    g.locTextured = g.program.uniformLocation("textured");
    g.locLimp = g.program.uniformLocation("limp");

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

    // Every mesh of the scene goes into one vertex and one index buffer, once; a frame then only
    // sets the frames' matrices.
    std::vector<float> vertexData;
    std::vector<std::uint32_t> indexData;
    const auto& frames = model_.frames();
    for (int first = 0; first < static_cast<int>(frames.size()); first += kFramesPerBatch) {
        const int end = std::min(first + kFramesPerBatch, static_cast<int>(frames.size()));
        std::map<QOpenGLTexture*, std::vector<std::uint32_t>> byTexture;
        for (int f = first; f < end; ++f)
            for (int m : frames[static_cast<size_t>(f)].meshes) {
                const robotview::Mesh& mesh = model_.meshes()[static_cast<size_t>(m)];
                const robotview::Material& material =
                    mesh.material >= 0 ? model_.materials()[static_cast<size_t>(mesh.material)]
                                       : kDefaultMaterial;
                QOpenGLTexture* texture =
                    mesh.material >= 0 ? g.textures[static_cast<size_t>(mesh.material)].get() : nullptr;
                const auto base = static_cast<std::uint32_t>(vertexData.size() / kFloatsPerVertex);
                const size_t count = mesh.vertices.size() / robotview::Mesh::kFloatsPerVertex;
                for (size_t v = 0; v < count; ++v) {
                    const float* src = mesh.vertices.data() + v * robotview::Mesh::kFloatsPerVertex;
                    vertexData.insert(vertexData.end(), src, src + robotview::Mesh::kFloatsPerVertex);
                    vertexData.push_back(static_cast<float>(f - first));
                    vertexData.insert(vertexData.end(), material.diffuse.begin(), material.diffuse.end());
                    vertexData.insert(vertexData.end(), material.ambient.begin(),
                                      material.ambient.begin() + 3);
                    vertexData.insert(vertexData.end(), material.emissive.begin(), material.emissive.end());
                }
                auto& indices = byTexture[texture];
                for (std::uint32_t i : mesh.indices)
                    if (i < count)
                        indices.push_back(base + i);
            }
        for (auto& [texture, indices] : byTexture) {
            Gpu::Batch b;
            b.firstIndex = static_cast<int>(indexData.size());
            b.count = static_cast<int>(indices.size());
            b.firstFrame = first;
            b.frameCount = end - first;
            b.texture = texture;
            indexData.insert(indexData.end(), indices.begin(), indices.end());
            g.batches.push_back(b);
        }
    }
    g.vao.create();
    QOpenGLVertexArrayObject::Binder bind(&g.vao);
    g.vertices.create();
    g.vertices.bind();
    g.vertices.allocate(vertexData.data(), static_cast<int>(vertexData.size() * sizeof(float)));
    g.indices.create();
    g.indices.bind();
    g.indices.allocate(indexData.data(), static_cast<int>(indexData.size() * sizeof(std::uint32_t)));
    const int stride = kFloatsPerVertex * static_cast<int>(sizeof(float));
    g.program.bind();
    int offset = 0;
    for (int location = 0; location < 7; ++location) {
        static constexpr int kSizes[] = {3, 3, 2, 1, 4, 3, 3};
        g.program.enableAttributeArray(location);
        g.program.setAttributeBuffer(location, GL_FLOAT, offset * static_cast<int>(sizeof(float)),
                                     kSizes[location], stride);
        offset += kSizes[location];
    }
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
        return false;
    }
    g.textVao.create();
    return true;
}

void RobotWindow::drawScene(int pixelWidth, int pixelHeight, qreal dpr)
{
    const int w = width(), h = height();
    glViewport(0, 0, pixelWidth, pixelHeight);
    // The inner colour and the depth go over the whole window in one unscissored clear, which
    // software renderers do tile by tile for next to nothing, while a scissored clear is drawn
    // as a rectangle, pixel by pixel. The 5-pixel frame and the drop-zone mark are then the
    // only scissored clears, and they are thin.
    const QColor inner = innerSelected() ? kInnerSelected : kInnerPlain;
    glDisable(GL_SCISSOR_TEST);
    glClearColor(inner.redF(), inner.greenF(), inner.blueF(), 1);
    glClearDepth(1);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    auto clearRect = [&](int x, int y, int rw, int rh, const QColor& c) {
        // Rectangles are given in window pixels from the top left; GL counts from the bottom.
        glEnable(GL_SCISSOR_TEST);
        glScissor(static_cast<int>(x * dpr), static_cast<int>((h - y - rh) * dpr), static_cast<int>(rw * dpr),
                  static_cast<int>(rh * dpr));
        glClearColor(c.redF(), c.greenF(), c.blueF(), 1);
        glClear(GL_COLOR_BUFFER_BIT);
        glDisable(GL_SCISSOR_TEST);
    };
    // The outer frame, its colour showing the window's state, with the drop-zone mark over it.
    const QColor outer = outerFrameDark() ? Qt::black : Qt::white;
    const QColor leftColour = dropMark() == static_cast<int>(robotview::DropZone::Into) ||
                                      dropMark() == static_cast<int>(robotview::DropZone::Before)
                                  ? kMarkColour
                                  : outer;
    const QColor rightColour = dropMark() == static_cast<int>(robotview::DropZone::Into) ||
                                       dropMark() == static_cast<int>(robotview::DropZone::After)
                                   ? kMarkColour
                                   : outer;
    const QColor topBottom = dropMark() == static_cast<int>(robotview::DropZone::Into) ? kMarkColour : outer;
    clearRect(0, 0, w, kFrame, topBottom);
    clearRect(0, h - kFrame, w, kFrame, topBottom);
    clearRect(0, 0, kFrame, h, leftColour);
    clearRect(w - kFrame, 0, kFrame, h, rightColour);
    // The picture is shown as an opaque image: what is drawn over the clears keeps their alpha.
    glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_FALSE);

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
        glUniformMatrix4fv(g.locViewProjection, 1, GL_FALSE, viewProjection.data());
        static_assert(sizeof(Mat4) == 16 * sizeof(float));
        int uploaded = -1;
        limpFrames_.resize(g.worlds.size(), 0);
        for (const Gpu::Batch& b : g.batches) {
            if (b.firstFrame != uploaded) {
                glUniformMatrix4fv(g.locFrames, b.frameCount, GL_FALSE,
                                   g.worlds[static_cast<size_t>(b.firstFrame)].data());
                glUniform1iv(g.locLimp, b.frameCount, limpFrames_.data() + b.firstFrame);
                uploaded = b.firstFrame;
            }
            glUniform1i(g.locTextured, b.texture ? 1 : 0);
            if (b.texture)
                b.texture->bind(0);
            glDrawElements(
                GL_TRIANGLES, b.count, GL_UNSIGNED_INT,
                reinterpret_cast<void*>(static_cast<std::uintptr_t>(b.firstIndex) * sizeof(std::uint32_t)));
        }
        g.program.release();
        glDisable(GL_CULL_FACE);
        glDisable(GL_DEPTH_TEST);
        glDisable(GL_BLEND);
    }

    if (gpu_) {
        const QString text = live_ ? shownCaption() : QStringLiteral("Connect KZ-7!");
        // The caption at the top left. The offline text is centred: the rule "half the width less
        // four pixels a character" assumed a font eight pixels a character wide, so half the width
        // of the text in the font actually chosen takes its place.
        drawText(gpu_->caption, text, 0, [&](QSize size) {
            return live_ ? QPoint(kFrame, kFrame) : QPoint(w / 2 - size.width() / 2, h / 2);
        });
        // A model that could not be read says why, in every window: below the middle, wrapped to
        // the width, in plain pixels of the text colour.
        if (!model_.loaded())
            drawText(gpu_->error, loadError(), std::max(1, w - 2 * kFrame),
                     [&](QSize) { return QPoint(kFrame, h / 2 + gpu_->caption.size.height() + 2); });
    }
    glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
}

void RobotWindow::drawText(TextImage& t, const QString& text, int wrapWidth,
                           const std::function<QPoint(QSize)>& place)
{
    if (text.isEmpty())
        return;
    const QSize viewport(width(), height());
    const QString key = text + QChar('\n') + QString::number(wrapWidth);
    if (!t.texture || t.shown != key) {
        QFont font = QApplication::font();
        font.setPointSize(wrapWidth ? 9 : 12);
        font.setBold(!wrapWidth);
        if (wrapWidth)
            font.setStyleStrategy(QFont::NoAntialias);
        const QFontMetrics metrics(font);
        const int flags = Qt::TextWordWrap;
        const QRect box =
            wrapWidth ? metrics.boundingRect(QRect(0, 0, wrapWidth, 4 * viewport.height()), flags, text)
                      : QRect(0, 0, metrics.horizontalAdvance(text) + 2, metrics.height());
        t.size = box.size().expandedTo(QSize(1, 1));
        QImage image(t.size, QImage::Format_RGBA8888_Premultiplied);
        image.fill(Qt::transparent);
        QPainter painter(&image);
        painter.setFont(font);
        painter.setPen(kTextColour);
        if (wrapWidth)
            painter.drawText(QRect(QPoint(0, 0), t.size), flags, text);
        else
            painter.drawText(QPoint(0, metrics.ascent()), text);
        painter.end();
        t.texture = std::make_unique<QOpenGLTexture>(QOpenGLTexture::Target2D);
        t.texture->setFormat(QOpenGLTexture::RGBA8_UNorm);
        t.texture->setData(image, QOpenGLTexture::DontGenerateMipMaps);
        t.texture->setMinificationFilter(QOpenGLTexture::Nearest);
        t.texture->setMagnificationFilter(QOpenGLTexture::Nearest);
        t.shown = key;
    }
    const QPoint at = place(t.size);
    Gpu& g = *gpu_;
    glEnable(GL_BLEND);
    glBlendFunc(GL_ONE, GL_ONE_MINUS_SRC_ALPHA);
    g.textProgram.bind();
    g.textProgram.setUniformValue("rect", QVector4D(at.x(), at.y(), t.size.width(), t.size.height()));
    g.textProgram.setUniformValue("viewport", QVector2D(viewport.width(), viewport.height()));
    g.textProgram.setUniformValue("tex", 0);
    t.texture->bind(0);
    QOpenGLVertexArrayObject::Binder bind(&g.textVao);
    glDrawArrays(GL_TRIANGLE_STRIP, 0, 4);
    g.textProgram.release();
    glDisable(GL_BLEND);
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
        target->gestureRelease(target->mapFromGlobal(e->globalPosition().toPoint()), e->button(),
                               e->modifiers());
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
