# Opens the source through DirectShow for the transcoder; the placeholder in
# quotes below is replaced by the path of the source file.
DirectShowSource("<%InputFile%>")
ConvertToYV12()
