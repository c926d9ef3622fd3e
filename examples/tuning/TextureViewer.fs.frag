// Shows a render target's colour texture stretched over the viewport.
in vec2 TexCoord;

uniform sampler2D fboAttachment;

void main()
{
    FragColor = texture(fboAttachment, TexCoord);
}
