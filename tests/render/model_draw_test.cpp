// Drawing a model sends its triangles with each corner's texture coordinate,
// and never reads past the record, whatever its counts and indices say.

#include <GL/gl.h>
#include <gtest/gtest.h>

#include <memory>

#include "render/ModelHandler.h"
#include "tests/render/test_support.h"

namespace {

class ModelDrawTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (!window.ready()) {
            GTEST_SKIP() << window.reason();
        }
        model = std::make_unique<Model>();
        // Four corners of a square of 100 pixels, each with its own mapping.
        const float corners[4][2] = {{10, 10}, {110, 10}, {110, 110}, {10, 110}};
        for (int i = 0; i < 4; ++i) {
            model->vertices[i] = {corners[i][0], corners[i][1], 0};
            model->mapping[i] = {0.1f * static_cast<float>(i + 1), 0.2f * static_cast<float>(i + 1)};
        }
        model->vertexCount = 4;
        model->faces[0] = {0, 1, 2};
        model->faces[1] = {0, 2, 3};
        model->faceCount = 2;
    }

    std::vector<testsupport::FeedbackPolygon> draw() {
        return testsupport::captureFeedback([&] { modelHandler.draw(*model); });
    }

    testsupport::GlWindow window{200, 200};
    std::unique_ptr<Model> model;
};

TEST_F(ModelDrawTest, CornersCarryTheirOwnTextureCoordinates) {
    const auto polygons = draw();
    ASSERT_EQ(polygons.size(), 2u);
    ASSERT_EQ(polygons[1].size(), 3u);
    // The second face's corners, in the order a, b, c: vertices 0, 2, 3.
    const int order[3] = {0, 2, 3};
    for (int k = 0; k < 3; ++k) {
        SCOPED_TRACE(k);
        const int v = order[k];
        EXPECT_FLOAT_EQ(polygons[1][k].x, model->vertices[v].x);
        EXPECT_FLOAT_EQ(polygons[1][k].y, model->vertices[v].y);
        EXPECT_FLOAT_EQ(polygons[1][k].s, model->mapping[v].u);
        EXPECT_FLOAT_EQ(polygons[1][k].t, model->mapping[v].v);
    }
}

TEST_F(ModelDrawTest, TrianglesBeyondTheListsAreLeftOut) {
    model->faces[2] = {0, 1, 4};      // vertex 4 is past the list of 4
    model->faces[3] = {0, 1, 65535};  // past the record itself
    model->faceCount = 4;
    EXPECT_EQ(draw().size(), 2u);

    // Counts that were never read from a file are trusted only up to the record's size.
    model->vertexCount = 1 << 30;
    model->faces[3] = {0, 1, kModelCapacity};
    EXPECT_EQ(draw().size(), 3u) << "face 2 now names a vertex of the record; face 3 still does not";
    model->faceCount = 1 << 30;
    EXPECT_GE(draw().size(), 3u);  // every face of the record, none beyond it

    model->vertexCount = -5;
    EXPECT_TRUE(draw().empty());
    model->vertexCount = 4;
    model->faceCount = -1;
    EXPECT_TRUE(draw().empty());
}

TEST_F(ModelDrawTest, AnEmptyModelDrawsNothing) {
    const auto empty = std::make_unique<Model>();
    EXPECT_TRUE(testsupport::captureFeedback([&] { modelHandler.draw(*empty); }).empty());
}

}  // namespace
