#!/usr/bin/env python3
"""Writes src/base/gl_entry_points.inc, the X-macro table of OpenGL entry points.

The table lists the core functions of OpenGL 1.0 to 4.0, then the ARB extension
functions (those that make up 4.1 and 4.2 among them), grouped by the version or
extension that introduced them. Run from the repository root:
    python3 tools/gen_gl_entry_points.py /usr/include/GL/glcorearb.h
"""
import re
import sys

header = sys.argv[1] if len(sys.argv) > 1 else "/usr/include/GL/glcorearb.h"
src = open(header).read()
parts = re.split(r"\n#ifndef (GL_\w+)\n", src)
blocks = {}
for i in range(1, len(parts), 2):
    blocks.setdefault(parts[i], []).extend(re.findall(r"GLAPI [^;]*?APIENTRY (gl\w+) \(", parts[i + 1]))

def pick(block, names):
    missing = [n for n in names if n not in blocks[block]]
    assert not missing, missing
    return names

def take(block, first, last):
    fns = blocks[block]
    return fns[fns.index(first): fns.index(last) + 1]

v = blocks
core = [
    ("OpenGL 1.0", v["GL_VERSION_1_0"]),
    ("OpenGL 1.1", v["GL_VERSION_1_1"]),
    ("OpenGL 1.2", ["glBlendColor", "glBlendEquation"] + v["GL_VERSION_1_2"]),
    ("OpenGL 1.3", v["GL_VERSION_1_3"]),
    ("OpenGL 1.4", [f for f in v["GL_VERSION_1_4"] if f not in ("glBlendColor", "glBlendEquation")]),
    ("OpenGL 1.5", v["GL_VERSION_1_5"]),
    ("OpenGL 2.0", v["GL_VERSION_2_0"]),
    ("OpenGL 2.1", v["GL_VERSION_2_1"]),
]
fbo = take("GL_VERSION_3_0", "glIsRenderbuffer", "glFramebufferTextureLayer")
maprange = ["glMapBufferRange", "glFlushMappedBufferRange"]
vao = ["glBindVertexArray", "glDeleteVertexArrays", "glGenVertexArrays", "glIsVertexArray"]
core.append(("OpenGL 3.0", [f for f in v["GL_VERSION_3_0"] if f not in fbo + maprange + vao]))
core.append(("OpenGL 3.1", pick("GL_VERSION_3_1", ["glDrawArraysInstanced", "glDrawElementsInstanced",
                                                   "glTexBuffer", "glPrimitiveRestartIndex"])))
core.append(("OpenGL 3.2", pick("GL_VERSION_3_2", ["glGetInteger64i_v", "glGetBufferParameteri64v",
                                                   "glFramebufferTexture"])))
core.append(("OpenGL 3.3", ["glVertexAttribDivisor"]))
core.append(("OpenGL 4.0", v["GL_VERSION_4_0"][:5]))

# Compatibility-profile packed-vertex calls, absent from the core header; never called.
COMPAT_2_10_10_10 = [p + s for p in ("glVertexP2ui", "glVertexP3ui", "glVertexP4ui", "glTexCoordP1ui",
                                      "glTexCoordP2ui", "glTexCoordP3ui", "glTexCoordP4ui",
                                      "glMultiTexCoordP1ui", "glMultiTexCoordP2ui", "glMultiTexCoordP3ui",
                                      "glMultiTexCoordP4ui", "glNormalP3ui", "glColorP3ui", "glColorP4ui",
                                      "glSecondaryColorP3ui") for s in ("", "v")]
v32, v33, v40, v41, v42 = (v[k] for k in ("GL_VERSION_3_2", "GL_VERSION_3_3", "GL_VERSION_4_0",
                                          "GL_VERSION_4_1", "GL_VERSION_4_2"))
arb = (fbo + maprange + vao
       + take("GL_VERSION_3_1", "glGetUniformIndices", "glUniformBlockBinding")
       + ["glCopyBufferSubData"]
       + v32[0:4] + ["glProvokingVertex"] + v32[5:12] + v32[15:19]
       + v["GL_ARB_draw_buffers_blend"] + v["GL_ARB_sample_shading"]
       + v["GL_ARB_shading_language_include"]
       + v33[0:2] + v33[2:16] + v33[16:19] + COMPAT_2_10_10_10 + v33[20:28]
       + v40[5:7] + take("GL_VERSION_4_0", "glUniform1d", "glGetUniformdv")
       + take("GL_VERSION_4_0", "glGetSubroutineUniformLocation", "glGetProgramStageiv")
       + ["glPatchParameteri", "glPatchParameterfv"]
       + take("GL_VERSION_4_0", "glBindTransformFeedback", "glGetQueryIndexediv")
       + take("GL_VERSION_4_1", "glReleaseShaderCompiler", "glClearDepthf")
       + take("GL_VERSION_4_1", "glGetProgramBinary", "glProgramParameteri")
       + take("GL_VERSION_4_1", "glUseProgramStages", "glGetProgramPipelineInfoLog")
       + take("GL_VERSION_4_1", "glVertexAttribL1d", "glGetVertexAttribLdv")
       + take("GL_VERSION_4_1", "glViewportArrayv", "glGetDoublei_v")
       + v["GL_ARB_cl_event"] + v["GL_ARB_debug_output"]
       + [f for f in v["GL_ARB_robustness"]])
# The robustness extension also has its compatibility-profile queries.
COMPAT_ROBUSTNESS = ["glGetnMapdvARB", "glGetnMapfvARB", "glGetnMapivARB", "glGetnPixelMapfvARB",
        "glGetnPixelMapuivARB", "glGetnPixelMapusvARB", "glGetnPolygonStippleARB",
        "glGetnColorTableARB", "glGetnConvolutionFilterARB", "glGetnSeparableFilterARB",
        "glGetnHistogramARB", "glGetnMinmaxARB"]
arb += COMPAT_ROBUSTNESS
arb += (v42[0:3]
        + [v42[10], v42[11]]
        + ["glGetInternalformativ"]
        + ["glGetActiveAtomicCounterBufferiv"]
        + ["glBindImageTexture", "glMemoryBarrier"]
        + ["glTexStorage1D", "glTexStorage2D", "glTexStorage3D",
           "glTextureStorage1DEXT", "glTextureStorage2DEXT", "glTextureStorage3DEXT"])
for f in arb:
    assert f.startswith("gl")

groups = core + [("ARB extensions", arb)]
names = [n for _, g in groups for n in g]
assert len(names) == len(set(names)), "duplicate entry"
assert len(names) == 560, len(names)

def pfn(name):
    if name in COMPAT_2_10_10_10 or name in COMPAT_ROBUSTNESS:
        return "GlUntypedProc"
    return "PFN" + name.upper() + "PROC"

with open("src/base/gl_entry_points.inc", "w") as out:
    out.write("// Generated by tools/gen_gl_entry_points.py: every OpenGL entry point the loader\n"
              "// looks up by name, in lookup order. GL_ENTRY(name, pointer type).\n")
    for title, fns in groups:
        out.write("\n// %s (%d)\n" % (title, len(fns)))
        for f in fns:
            out.write("GL_ENTRY(%s, %s)\n" % (f, pfn(f)))
print(len(names), [(t, len(g)) for t, g in groups])
