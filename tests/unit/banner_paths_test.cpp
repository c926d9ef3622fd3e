// The start-up banner tag and the shader file paths.
#include "app/banner.h"
#include "shader/shader_files.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace {

TEST(Banner, TagNamesTheStandardLevelInFiveCharacters) {
    struct Case {
        long cplusplus;
        const char *tag;
    } cases[] = {
        {201103L, "C++11"}, {201402L, "C++14"}, {201703L, "C++17"},
        {202002L, "C++20"}, {202302L, "C++23"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.cplusplus);
        const auto tag = standardTag(c.cplusplus);
        EXPECT_STREQ(tag.data(), c.tag);
        EXPECT_EQ(std::strlen(tag.data()), 5u);
    }
    // The project builds as C++17, so that is what the program announces.
    EXPECT_STREQ(kStandardTag.data(), "C++17");
}

TEST(ShaderPaths, RootIsTheParentOfTheWorkingDirectory) {
    struct Case {
        const char *workingDirectory, *root;
    } cases[] = {
        {"/home/user/proj/build", "/home/user/proj"},
        {"/home/user", "/home"},
        {"/build", "/"},
        {"/", "/"}, // the root's parent is the root
    };
    for (const Case &c : cases)
        EXPECT_EQ(shaderRootOf(c.workingDirectory), c.root) << c.workingDirectory;
}

TEST(ShaderPaths, NinePathsAreTheRootJoinedAsTextToFixedSuffixesInOrder) {
    const std::vector<std::string> suffixes = {
        "/Shaders/VertexShader.vs", "/Shaders/TextureViewer.vs.vert",
        "/Shaders/Image.frag",      "/Shaders/BufferA.fs",
        "/Shaders/BufferB.fs",      "/Shaders/BufferC.fs",
        "/Shaders/BufferD.fs",      "/Shaders/TextureViewer.fs.frag",
        "/Shaders/common.incl",
    };
    for (const std::string root : {"/home/user/proj", "/", "relative/dir"}) {
        SCOPED_TRACE(root);
        const ShaderFiles files = shaderFilesIn(root);
        const std::vector<std::string> paths = {
            files.vertex,  files.viewerVertex, files.image,          files.bufferA, files.bufferB,
            files.bufferC, files.bufferD,      files.viewerFragment, files.common,
        };
        ASSERT_EQ(paths.size(), suffixes.size());
        for (std::size_t i = 0; i < paths.size(); ++i)
            EXPECT_EQ(paths[i], root + suffixes[i]) << "path " << i + 1;
    }
    // Not normalised: the file system accepts the doubled slash.
    EXPECT_EQ(shaderFilesIn("/").image, "//Shaders/Image.frag");
}

} // namespace
